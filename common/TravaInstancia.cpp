#include "TravaInstancia.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString TextoErro(int erro)
{
    return QString::fromLocal8Bit(std::strerror(erro));
}

// The reason a device did not open, in the technician's words.
QString MotivoDispositivo(int erro)
{
    switch (erro) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("o dispositivo não existe (cabo ou adaptador desconectado, ou outro nome de porta)");
    case EACCES:
    case EPERM:
        return QStringLiteral("sem permissão para abrir o dispositivo (o usuário precisa do grupo dialout)");
    default:
        return TextoErro(erro);
    }
}
} // namespace

QString TTravaInstancia::ArquivoDoPosto(const QString& pasta)
{
    return QDir(pasta).absoluteFilePath(QStringLiteral("Linkor.trava"));
}

bool TTravaInstancia::Trava(int descritor)
{
    if (::flock(descritor, LOCK_EX | LOCK_NB) == 0) {
        FDescritor = descritor;
        return true;
    }
    const int erro = errno;
    ::close(descritor);
    if (erro == EWOULDBLOCK || erro == EINTR)
        return false;
    throw EErro(QStringLiteral("Não foi possível travar: %1").arg(TextoErro(erro)));
}

bool TTravaInstancia::AdquirePosto(const QString& pasta)
{
    Libera();
    const QString arquivo = ArquivoDoPosto(pasta);
    const QByteArray nome = QFile::encodeName(arquivo);
    // Never through a link: the folder is shared with the group, and a link planted here would
    // make us create or lock a file somewhere else. Made readable and writable by the group, so
    // the window's operators and the service lock the same file.
    int descritor = ::open(nome.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0660);
    if (descritor >= 0) {
        ::fchmod(descritor, 0660);
    } else if (errno == EEXIST) {
        descritor = ::open(nome.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (descritor < 0 && errno == EACCES) // made by another operator without group write: reading locks it too
            descritor = ::open(nome.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }
    if (descritor < 0) {
        const int erro = errno;
        if (erro == ELOOP)
            throw EErro(QStringLiteral("A trava do posto %1 é um link simbólico: o Linkor não segue links na pasta "
                                       "do posto. Apague o link e inicie de novo.")
                            .arg(QDir::toNativeSeparators(arquivo)));
        throw EErro(QStringLiteral("Não foi possível abrir a trava do posto %1: %2")
                        .arg(QDir::toNativeSeparators(arquivo), TextoErro(erro)));
    }
    struct stat info {};
    if (::fstat(descritor, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(descritor);
        throw EErro(QStringLiteral("A trava do posto %1 não é um arquivo comum: apague-a e inicie de novo.")
                        .arg(QDir::toNativeSeparators(arquivo)));
    }
    return Trava(descritor);
}

bool TTravaInstancia::AdquireDispositivo(const QString& caminho, const QString& nomePorta)
{
    Libera();
    // Opened without becoming our terminal and without waiting for the carrier; the lock is on the
    // device itself, so every name of it (a link under /dev/serial, COMPANYTEC_PORTAn) is one lock.
    const int descritor = ::open(QFile::encodeName(caminho).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descritor < 0) {
        const int erro = errno;
        if (erro == EBUSY) // opened exclusively: another Linkor's library under another account, or another program
            throw EOutraInstancia(QStringLiteral("A porta serial %1 (%2) já está sendo usada por outro programa ou "
                                                 "outro Linkor.\rEste não será iniciado: feche o que usa a porta.")
                                      .arg(nomePorta, caminho));
        throw EErro(QStringLiteral("Erro ao tentar a conexão com a porta serial!!\rA porta %1 (%2) não abriu: %3.")
                        .arg(nomePorta, caminho, MotivoDispositivo(erro)));
    }
    return Trava(descritor);
}

void TTravaInstancia::Libera()
{
    if (FDescritor < 0)
        return;
    ::close(FDescritor);
    FDescritor = -1;
}

void TravaPosto(TTravaInstancia& trava, const QString& pasta)
{
    if (!trava.AdquirePosto(pasta))
        throw EOutraInstancia(QStringLiteral("Já existe um Linkor aberto para este posto (pasta %1).\r"
                                             "Este não será iniciado: use o que já está aberto.")
                                  .arg(QDir::toNativeSeparators(pasta)));
}

void TravaPorta(TTravaInstancia& trava, const QString& dispositivo, const QString& nomePorta)
{
    if (!trava.AdquireDispositivo(dispositivo, nomePorta))
        throw EOutraInstancia(QStringLiteral("A porta serial %1 (%2) já está sendo usada por outro Linkor.\r"
                                             "Este não será iniciado: use o que já está aberto.")
                                  .arg(nomePorta, dispositivo));
}
