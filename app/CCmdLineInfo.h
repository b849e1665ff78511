#pragma once

#include <QStringList>
#include <cstdint>

// The command line carries one thing: "Profile=" and a number selecting the profile.
// Every other argument, file names included, is ignored.
class CCmdLineInfo {
public:
  // One argument with a leading "-" or "/" already removed (flag set then).
  void ParseParam(const QString& param, bool flag, bool last);
  // Splits argv (without the program name) as the shell gave it and parses each.
  void ParseCommandLine(const QStringList& arguments);

  uint32_t m_nProfile = 0;
  // The number as typed after the last "Profile=", for messages about it.
  QString m_profileText;
};
