#include "platform/ProfileStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <memory>

namespace platform {

ProfileStore::ProfileStore(QString iniPath) : m_path(std::move(iniPath)) {}

ProfileStore::~ProfileStore() = default;

ProfileStore::Batch::Batch(ProfileStore& store) : m_store(store) {
  std::lock_guard lock(m_store.m_batchMutex);
  if (m_store.m_batchDepth++ == 0) {
    QDir().mkpath(QFileInfo(m_store.m_path).absolutePath());
    m_store.m_batch = std::make_unique<QSettings>(m_store.m_path, QSettings::IniFormat);
  }
}

ProfileStore::Batch::~Batch() {
  std::lock_guard lock(m_store.m_batchMutex);
  if (--m_store.m_batchDepth == 0) {
    m_store.m_batch->sync();
    m_store.m_batch.reset();
  }
}

QString ProfileStore::configHome() {
  const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
  if (!xdg.isEmpty()) return QString::fromLocal8Bit(xdg);
  return QDir::homePath() + QStringLiteral("/.config");
}

QString ProfileStore::pathForKey(const QString& registryKey) {
  return configHome() + QLatin1Char('/') + registryKey + QStringLiteral("/VRIM.ini");
}

// A fresh QSettings per call: it reads the file as it is now, so a value written by
// another process is seen without any cache to invalidate.
uint32_t ProfileStore::GetProfileInt(const QString& section, const QString& key, int defaultValue) const {
  QSettings s(m_path, QSettings::IniFormat);
  s.beginGroup(section);
  const QVariant v = s.value(key);
  if (!v.isValid()) return static_cast<uint32_t>(defaultValue);
  bool ok = false;
  const qlonglong n = v.toLongLong(&ok);
  if (!ok) return static_cast<uint32_t>(defaultValue);
  return static_cast<uint32_t>(n);
}

bool ProfileStore::write(const QString& section, const QString& key, const QVariant& value) {
  {
    std::lock_guard lock(m_batchMutex);
    if (m_batch) {
      m_batch->beginGroup(section);
      m_batch->setValue(key, value);
      m_batch->endGroup();
      return true;
    }
  }
  QDir().mkpath(QFileInfo(m_path).absolutePath());
  QSettings s(m_path, QSettings::IniFormat);
  s.beginGroup(section);
  s.setValue(key, value);
  s.endGroup();
  s.sync();
  return s.status() == QSettings::NoError;
}

bool ProfileStore::WriteProfileInt(const QString& section, const QString& key, int32_t value) {
  return write(section, key, QVariant(static_cast<int>(value)));
}

QString ProfileStore::GetProfileString(const QString& section, const QString& key,
                                       const QString& defaultValue) const {
  QSettings s(m_path, QSettings::IniFormat);
  s.beginGroup(section);
  const QVariant v = s.value(key);
  return v.isValid() ? v.toString() : defaultValue;
}

bool ProfileStore::WriteProfileString(const QString& section, const QString& key, const QString& value) {
  return write(section, key, QVariant(value));
}

bool ProfileStore::HasProfileValue(const QString& section, const QString& key) const {
  QSettings s(m_path, QSettings::IniFormat);
  s.beginGroup(section);
  return s.contains(key);
}

std::optional<QByteArray> ProfileStore::GetProfileBinary(const QString& section, const QString& key) const {
  QSettings s(m_path, QSettings::IniFormat);
  s.beginGroup(section);
  const QVariant v = s.value(key);
  if (!v.isValid()) return std::nullopt;
  return v.toByteArray();
}

bool ProfileStore::WriteProfileBinary(const QString& section, const QString& key, const void* data,
                                      uint32_t length) {
  const QByteArray bytes(static_cast<const char*>(data), static_cast<qsizetype>(length));
  return write(section, key, QVariant(bytes));
}

std::optional<QString> RegistryKeyName(uint32_t profile) {
  if (profile == 0) return QStringLiteral("Quellfeld");
  if (profile <= 99) return QStringLiteral("Quellfeld_%1").arg(profile, 2, 10, QLatin1Char('0'));
  return std::nullopt;
}

namespace {
std::unique_ptr<ProfileStore>& current() {
  static std::unique_ptr<ProfileStore> p;
  return p;
}
}  // namespace

ProfileStore& Profile() {
  auto& p = current();
  if (!p) p = std::make_unique<ProfileStore>(ProfileStore::pathForKey(QStringLiteral("Quellfeld")));
  return *p;
}

void SetProfile(const QString& registryKey) { SetProfilePath(ProfileStore::pathForKey(registryKey)); }

void SetProfilePath(const QString& iniPath) { current() = std::make_unique<ProfileStore>(iniPath); }

}  // namespace platform
