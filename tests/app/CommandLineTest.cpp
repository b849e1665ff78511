#include <gtest/gtest.h>

#include "app/CCmdLineInfo.h"
#include "platform/ProfileStore.h"

namespace {

uint32_t profileOf(const QStringList& args) {
  CCmdLineInfo info;
  info.ParseCommandLine(args);
  return info.m_nProfile;
}

}  // namespace

TEST(CommandLine, ProfileArgumentSelectsTheProfileAndKey) {
  const struct { QStringList args; uint32_t profile; const char* key; } cases[] = {
      {{}, 0, "Quellfeld"}, {{"Profile=7"}, 7, "Quellfeld_07"}, {{"/Profile=12"}, 12, "Quellfeld_12"},
      {{"-Profile=12"}, 12, "Quellfeld_12"}, {{"Profile=99"}, 99, "Quellfeld_99"},
      {{"profile=3"}, 0, "Quellfeld"},  // case-sensitive
      {{"Profile="}, 0, "Quellfeld"}, {{"Profile=abc"}, 0, "Quellfeld"},  // no digits
      {{"Profile= 42x"}, 42, "Quellfeld_42"},    // atoi: blanks, digits up to the first other
      {{"Profile=3", "Profile=5"}, 5, "Quellfeld_05"},  // the last one wins
      {{"/data/LOG.ANL", "Profile=4", "-x"}, 4, "Quellfeld_04"},  // everything else ignored
  };
  for (const auto& c : cases) {
    const uint32_t p = profileOf(c.args);
    EXPECT_EQ(p, c.profile) << c.args.join(' ').toStdString();
    EXPECT_EQ(platform::RegistryKeyName(p).value_or("-"), QString::fromLatin1(c.key));
  }
  // Out of range, negative included, or beyond the int range: no key is formed, and
  // nothing is wrapped onto a profile (4294967303 is 2^32 + 7).
  for (const char* arg : {"Profile=100", "Profile=-1", "Profile=4294967303", "Profile=-4294967289",
                          "Profile=99999999999999999999999"})
    EXPECT_FALSE(platform::RegistryKeyName(profileOf({arg})).has_value()) << arg;
}
