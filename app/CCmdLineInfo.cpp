#include "app/CCmdLineInfo.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

void CCmdLineInfo::ParseParam(const QString& param, bool /*flag*/, bool /*last*/) {
  static const QString PROFILE_KEY = QStringLiteral("Profile=");
  if (!param.startsWith(PROFILE_KEY)) return;  // case-sensitive
  // atoi semantics: leading blanks and a sign, digits up to the first other
  // character, no digits gives 0; the int is kept as u32 (negatives wrap). A number
  // beyond the int range saturates instead of wrapping, so a long typo can never
  // land on a valid profile.
  m_profileText = param.mid(PROFILE_KEY.size());
  const QByteArray rest = m_profileText.toLocal8Bit();
  const long long value = std::strtoll(rest.constData(), nullptr, 10);
  const long long bounded = std::clamp<long long>(value, INT_MIN, INT_MAX);
  m_nProfile = static_cast<uint32_t>(static_cast<int>(bounded));
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
