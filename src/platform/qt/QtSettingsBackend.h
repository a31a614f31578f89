// Settings in an INI file through QSettings: the product key's values at the top level, the
// Settings subkey's in the group "Settings".
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

#include "platform/SettingsBackend.h"

namespace larkspire {

// LARKSPIRE_SETTINGS when set, else $XDG_CONFIG_HOME/Calverin/Larkspire.ini.
QString DefaultSettingsPath();

class CQtSettingsBackend : public ISettingsBackend {
 public:
  // Creates the file with mode 0600 when missing: it holds the scrambled password.
  explicit CQtSettingsBackend(const QString& path);
  ~CQtSettingsBackend() override;

  std::optional<std::string> Read(const std::string& group, const std::string& name) override;
  void Write(const std::string& group, const std::string& name, const std::string& value) override;
  bool Remove(const std::string& group, const std::string& name) override;
  void Flush() override;

 private:
  QString path_;
  std::unique_ptr<QSettings> settings_;
};

}  // namespace larkspire
