#include "Waitunit.h"

// Placeholder until the exchange engine lands: every operation fails.
TWaitForm::TWaitForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("WaitForm"));
    setWindowTitle(QStringLiteral("Ожидание ответа от сервера"));
}
TWaitForm::~TWaitForm() = default;
QString TWaitForm::clientId() const { return QStringLiteral("0"); }
bool TWaitForm::isWaitVisible() const { return false; }
quint16 TWaitForm::sendSockPort() const { return 0; }
int TWaitForm::busyMarker() const { return 0; }
void TWaitForm::setWaitNoModal(bool) {}
void TWaitForm::SetServerAddress(const QString &, const QString &, const QString &) {}
int TWaitForm::RegisterClient(const QString &, const QString &, const QString &, QStringList &) { return 2; }
int TWaitForm::UnregisterClient(const QString &, QStringList &) { return 2; }
int TWaitForm::NoOperation(QStringList &) { return 2; }
int TWaitForm::GetDatabaseInfo(const QString &, QStringList &) { return 2; }
int TWaitForm::ReadResource(int, const QString &, const QString &, QStringList &) { return 2; }
int TWaitForm::ActualizeDatabase(const QString &, int, QStringList &) { return 2; }
int TWaitForm::CreateDatabase(const QString &, const QString &, bool, QStringList &) { return 2; }
int TWaitForm::DeleteDatabase(const QString &, QStringList &) { return 2; }
int TWaitForm::ClearDatabase(const QString &, QStringList &) { return 2; }
int TWaitForm::ReorganizeInvertedFile(const QString &, QStringList &) { return 2; }
int TWaitForm::ReorganizeMasterFile(const QString &, QStringList &) { return 2; }
int TWaitForm::LoadInvertedFile(const QString &, QStringList &) { return 2; }
int TWaitForm::UnlockRecords(const QString &, const QList<qint32> &, QStringList &) { return 2; }
int TWaitForm::UnlockDatabase(const QString &, QStringList &) { return 2; }
int TWaitForm::RestartServer(QStringList &) { return 2; }
int TWaitForm::GetRegisteredClients(QStringList &) { return 2; }
int TWaitForm::GetClientList(QStringList &) { return 2; }
int TWaitForm::SaveClientList(const QStringList &, QStringList &) { return 2; }
int TWaitForm::GetProcessList(QStringList &) { return 2; }
int TWaitForm::DeleteRegisteredClient(const QString &, QStringList &) { return 2; }
int TWaitForm::StopProcess(const QString &, const QString &, const QString &, QStringList &answer)
{
    answer.clear();
    return 2;
}
int TWaitForm::GetServerVersion(QStringList &) { return 2; }
int TWaitForm::ReadResourceCached(int, const QString &, const QString &, QStringList &answer)
{
    answer.clear();
    return 2;
}
void TWaitForm::ClearResourceCache() {}

int ConnectToServer(const QString &, const QString &, const QString &, QStringList &, const QString &, const QString &)
{
    return 2;
}
