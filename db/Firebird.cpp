#include "Firebird.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#include <cstring>
#include <mutex>
#include <unistd.h>

using namespace Firebird;

namespace {
// The embedded engine keeps its lock tables in FIREBIRD_LOCK, by default /tmp/firebird, which the
// Debian packages create for the firebird group only. A user outside that group gets a folder of
// their own; an explicit setting is always left alone.
void PreparaAmbiente()
{
    if (!qEnvironmentVariableIsEmpty("FIREBIRD_LOCK"))
        return;
    const QByteArray padrao("/tmp/firebird");
    const QFileInfo pasta(QString::fromLocal8Bit(padrao));
    const bool utilizavel = pasta.exists() ? ::access(padrao.constData(), R_OK | W_OK | X_OK) == 0
                                           : ::access("/tmp", W_OK | X_OK) == 0;
    if (utilizavel)
        return;
    const QString propria = QDir::tempPath() + QStringLiteral("/firebird-%1").arg(::getuid());
    QDir().mkpath(propria);
    qputenv("FIREBIRD_LOCK", QFile::encodeName(propria));
}

IMaster* gMestre = nullptr;
std::once_flag gCarga;
} // namespace

IMaster* MestreFirebird()
{
    std::call_once(gCarga, [] {
        PreparaAmbiente();
        gMestre = fb_get_master_interface();
    });
    return gMestre;
}

IProvider* ProvedorFirebird()
{
    static IProvider* const provedor = MestreFirebird()->getDispatcher();
    return provedor;
}

IUtil* UtilFirebird()
{
    return MestreFirebird()->getUtilInterface();
}

QString MensagemFirebird(const FbException& erro)
{
    char texto[2048];
    texto[0] = '\0';
    UtilFirebird()->formatStatus(texto, sizeof texto, erro.getStatus());
    texto[sizeof texto - 1] = '\0';
    QString mensagem = QString::fromUtf8(texto, static_cast<qsizetype>(std::strlen(texto)));
    while (mensagem.endsWith('\n') || mensagem.endsWith('\0'))
        mensagem.chop(1);
    return mensagem;
}
