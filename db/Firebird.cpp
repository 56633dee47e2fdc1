#include "Firebird.h"

#include <iberror.h>

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

using namespace Firebird;

namespace {
// The embedded engine keeps its lock tables in FIREBIRD_LOCK, by default /tmp/firebird, which the
// Debian packages create for the firebird group only. A user outside that group gets a folder of
// their own, private; an explicit setting (the service sets its runtime folder) is always left alone.
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
    // A folder only we can use: in the session's private runtime folder when there is one, else in
    // the temporary folder under a name another user cannot have made first (checked, and a fresh
    // unpredictable one when the usual name is taken).
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QByteArray propria = QFile::encodeName(runtime.isEmpty() ? QDir::tempPath() + QStringLiteral("/firebird-%1").arg(::getuid())
                                                             : runtime + QStringLiteral("/firebird"));
    ::mkdir(propria.constData(), 0700);
    struct stat info {};
    const bool nossa = ::lstat(propria.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid()
        && (info.st_mode & 077) == 0;
    if (!nossa) {
        QByteArray modelo = QFile::encodeName(QDir::tempPath() + QStringLiteral("/firebird-%1-XXXXXX").arg(::getuid()));
        if (!::mkdtemp(modelo.data()))
            return; // the engine's own default then, and its own error if that does not work
        propria = modelo;
    }
    qputenv("FIREBIRD_LOCK", propria);
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

TNaturezaErroBanco NaturezaFirebird(const FbException& erro)
{
    // The status vector: clusters of an argument type and its value, ended by isc_arg_end.
    const intptr_t* v = erro.getStatus()->getErrors();
    bool recusa = false;
    bool bloqueio = false;
    for (int i = 0; v && v[i] != isc_arg_end && i < 200; i += 2) {
        if (v[i] == isc_arg_cstring) { // type, length, text
            ++i;
            continue;
        }
        if (v[i] != isc_arg_gds)
            continue;
        switch (v[i + 1]) {
        case isc_network_error:
        case isc_net_read_err:
        case isc_net_write_err:
        case isc_net_connect_err:
        case isc_lost_db_connection:
        case isc_att_shutdown:
        case isc_shutdown:
        case isc_net_server_shutdown:
        case isc_bad_db_handle:
            return TNaturezaErroBanco::Conexao;
        case isc_lock_conflict:
        case isc_deadlock:
        case isc_update_conflict:
        case isc_lock_timeout:
            bloqueio = true;
            break;
        case isc_unique_key_violation:
        case isc_no_dup:
        case isc_foreign_key:
        case isc_not_valid:
        case isc_check_constraint:
        case isc_convert_error:
        case isc_arith_except:
        case isc_string_truncation:
        case isc_except:
            recusa = true;
            break;
        default:
            break;
        }
    }
    // A key violation reports a lock conflict too when the other row is not committed yet: the
    // conflict is what decides, it may still go away.
    if (bloqueio)
        return TNaturezaErroBanco::Bloqueio;
    if (recusa)
        return TNaturezaErroBanco::Recusa;
    return TNaturezaErroBanco::Servidor;
}
