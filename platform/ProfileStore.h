#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

class QSettings;

namespace platform {

// The settings store of one profile: an INI file with one section per section name.
// Nothing is cached: every read goes to the file with the caller's default, every
// write is on disk when the call returns, so another process sees it at once.
class ProfileStore {
public:
  explicit ProfileStore(QString iniPath);
  ~ProfileStore();

  // $XDG_CONFIG_HOME/<key>/VRIM.ini, with ~/.config when XDG_CONFIG_HOME is unset.
  static QString pathForKey(const QString& registryKey);
  // The configuration folder itself ($XDG_CONFIG_HOME or ~/.config).
  static QString configHome();

  const QString& path() const { return m_path; }

  // Integers are written signed and read back as unsigned 32-bit.
  uint32_t GetProfileInt(const QString& section, const QString& key, int defaultValue) const;
  bool WriteProfileInt(const QString& section, const QString& key, int32_t value);
  QString GetProfileString(const QString& section, const QString& key,
                           const QString& defaultValue = QString()) const;
  bool WriteProfileString(const QString& section, const QString& key, const QString& value);
  // Whether the key holds a value, an empty text included.
  bool HasProfileValue(const QString& section, const QString& key) const;
  // The stored bytes (a copy), or nothing when the value is absent.
  std::optional<QByteArray> GetProfileBinary(const QString& section, const QString& key) const;
  bool WriteProfileBinary(const QString& section, const QString& key, const void* data, uint32_t length);

  // Writes made while a Batch lives reach the disk in one save when the outermost
  // Batch ends, so a dialog that stores a whole section waits for the disk once,
  // not once per key. This process reads the new values at once; other processes
  // see them when the batch ends.
  class Batch {
  public:
    explicit Batch(ProfileStore& store);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

  private:
    ProfileStore& m_store;
  };

private:
  bool write(const QString& section, const QString& key, const QVariant& value);
  QString m_path;
  std::mutex m_batchMutex;
  int m_batchDepth = 0;
  std::unique_ptr<QSettings> m_batch;
};

// "Quellfeld" for profile 0, "Quellfeld_%02u" for 1 to 99; nothing above 99.
std::optional<QString> RegistryKeyName(uint32_t profile);

// The profile store in use by this process; set once at start-up (tests set their
// own). Until set, it is the store of profile 0.
ProfileStore& Profile();
void SetProfile(const QString& registryKey);
void SetProfilePath(const QString& iniPath);

}  // namespace platform
