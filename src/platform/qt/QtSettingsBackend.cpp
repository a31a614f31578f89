#include "platform/qt/QtSettingsBackend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace larkspire {
namespace {

QString KeyOf(const std::string& group, const std::string& name) {
  QString key = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
  if (group.empty()) return key;
  return QString::fromLatin1(group.data(), static_cast<qsizetype>(group.size())) + "/" + key;
}

void RestrictToOwner(const QString& path) {
  ::chmod(QFile::encodeName(path).constData(), S_IRUSR | S_IWUSR);
}

}  // namespace

QString DefaultSettingsPath() {
  QByteArray explicit_path = qgetenv("LARKSPIRE_SETTINGS");
  if (!explicit_path.isEmpty()) return QString::fromLocal8Bit(explicit_path);
  QByteArray config = qgetenv("XDG_CONFIG_HOME");
  QString base = config.isEmpty() ? QDir::homePath() + "/.config" : QString::fromLocal8Bit(config);
  return base + "/Calverin/Larkspire.ini";
}

CQtSettingsBackend::CQtSettingsBackend(const QString& path) : path_(path) {
  QFileInfo info(path_);
  QDir().mkpath(info.absolutePath());
  if (!info.exists()) {
    int fd = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
  }
  settings_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
}

CQtSettingsBackend::~CQtSettingsBackend() { Flush(); }

std::optional<std::string> CQtSettingsBackend::Read(const std::string& group,
                                                    const std::string& name) {
  QVariant value = settings_->value(KeyOf(group, name));
  if (!value.isValid()) return std::nullopt;
  // An unquoted value with commas, as a hand edit may leave it, arrives as a list.
  QString text =
      value.typeId() == QMetaType::QStringList ? value.toStringList().join(", ") : value.toString();
  QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void CQtSettingsBackend::Write(const std::string& group, const std::string& name,
                               const std::string& value) {
  settings_->setValue(KeyOf(group, name),
                      QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size())));
}

bool CQtSettingsBackend::Remove(const std::string& group, const std::string& name) {
  QString key = KeyOf(group, name);
  if (!settings_->contains(key)) return false;
  settings_->remove(key);
  return true;
}

void CQtSettingsBackend::Flush() {
  settings_->sync();
  RestrictToOwner(path_);
}

}  // namespace larkspire
