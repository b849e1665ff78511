#include "app/CCmdLineInfo.h"

#include <cstdlib>

void CCmdLineInfo::ParseParam(const QString& param, bool /*flag*/, bool /*last*/) {
  static const QString PROFILE_KEY = QStringLiteral("Profile=");
  if (!param.startsWith(PROFILE_KEY)) return;  // case-sensitive
  // atoi semantics: leading blanks and a sign, digits up to the first other
  // character, no digits gives 0; the int is kept as u32 (negatives wrap).
  const QByteArray rest = param.mid(PROFILE_KEY.size()).toLocal8Bit();
  m_nProfile = static_cast<uint32_t>(std::atoi(rest.constData()));
}

void CCmdLineInfo::ParseCommandLine(const QStringList& arguments) {
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    QString arg = arguments[i];
    bool flag = false;
    if (arg.startsWith(QLatin1Char('-')) || arg.startsWith(QLatin1Char('/'))) {
      arg.remove(0, 1);
      flag = true;
    }
    ParseParam(arg, flag, i + 1 == arguments.size());
  }
}
