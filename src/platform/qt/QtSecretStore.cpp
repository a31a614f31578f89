#include "platform/qt/QtSecretStore.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace larkspire {
namespace {

constexpr const char* kService = "Larkspire";
constexpr std::chrono::milliseconds kUnattendedPatience{5000};
constexpr std::chrono::milliseconds kUserPatience{60000};

// Runs the job and waits for it; false when it did not finish in time. A job left running
// deletes itself whenever it ends, and its answer goes nowhere.
bool Finish(QKeychain::Job* job, std::chrono::milliseconds patience) {
  job->setAutoDelete(true);
  QPointer<QKeychain::Job> watched(job);
  QEventLoop loop;
  bool finished = false;
  QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
    finished = true;
    loop.quit();
  });
  QTimer::singleShot(patience, &loop, &QEventLoop::quit);
  job->start();
  if (!finished) loop.exec(QEventLoop::ExcludeUserInputEvents);
  // The callers' handlers read into their own stack: a late answer must reach none of them.
  if (!finished && watched)
    QObject::disconnect(watched, &QKeychain::Job::finished, nullptr, nullptr);
  return finished;
}

// An answer from a keyring: done, or the entry was not there.
bool Answered(QKeychain::Error error) {
  return error == QKeychain::NoError || error == QKeychain::EntryNotFound;
}

}  // namespace

CQtSecretStore::CQtSecretStore(const QString& settings_path, std::chrono::milliseconds patience)
    : settings_path_(settings_path), patience_(patience) {}

QString CQtSecretStore::Key(const std::string& name) const {
  return settings_path_ + ":" + QString::fromStdString(name);
}

bool CQtSecretStore::Available() { return Read("Availability").has_value(); }

std::optional<std::string> CQtSecretStore::Read(const std::string& name) {
  auto* job = new QKeychain::ReadPasswordJob(kService);
  job->setKey(Key(name));
  QKeychain::Error error = QKeychain::OtherError;
  QByteArray secret;
  QObject::connect(job, &QKeychain::Job::finished, job, [&error, &secret, job] {
    error = job->error();
    secret = job->binaryData();
  });
  if (!Finish(job, patience_) || !Answered(error)) return std::nullopt;
  return secret.toStdString();
}

bool CQtSecretStore::Write(const std::string& name, const std::string& secret) {
  QKeychain::Job* job = nullptr;
  if (secret.empty()) {
    auto* remove = new QKeychain::DeletePasswordJob(kService);
    remove->setKey(Key(name));
    job = remove;
  } else {
    auto* write = new QKeychain::WritePasswordJob(kService);
    write->setKey(Key(name));
    write->setBinaryData(QByteArray::fromStdString(secret));
    job = write;
  }
  QKeychain::Error error = QKeychain::OtherError;
  QObject::connect(job, &QKeychain::Job::finished, job, [&error, job] { error = job->error(); });
  return Finish(job, patience_) && Answered(error);
}

std::chrono::milliseconds KeyringPatience(bool unattended) {
  return unattended ? kUnattendedPatience : kUserPatience;
}

}  // namespace larkspire
