#include "TravaInstancia.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool PastaGravavel(const QString& pasta)
{
    const QByteArray nome = QFile::encodeName(pasta);
    struct stat info {};
    return ::stat(nome.constData(), &info) == 0 && S_ISDIR(info.st_mode) && ::access(nome.constData(), W_OK | X_OK) == 0;
}

QString Canonico(const QString& caminho)
{
    const QString canonico = QFileInfo(caminho).canonicalFilePath();
    return canonico.isEmpty() ? QDir::cleanPath(QDir(caminho).absolutePath()) : canonico;
}
} // namespace

QString TTravaInstancia::PastaTravas()
{
    const QString definida = qEnvironmentVariable("LINKOR_PASTA_TRAVAS");
    if (!definida.isEmpty())
        return definida;
    for (const char* pasta : {"/run/lock", "/var/lock"})
        if (PastaGravavel(QLatin1String(pasta)))
            return QLatin1String(pasta);
    return QDir::tempPath();
}

QString TTravaInstancia::ChavePosto(const QString& pasta)
{
    return QStringLiteral("posto:") + Canonico(pasta);
}

QString TTravaInstancia::ChaveDispositivo(const QString& caminho)
{
    return QStringLiteral("porta:") + Canonico(caminho);
}

QString TTravaInstancia::ArquivoDaChave(const QString& chave)
{
    // A key is a path of any length: its digest makes a short, safe file name.
    const QByteArray resumo = QCryptographicHash::hash(chave.toUtf8(), QCryptographicHash::Sha1).toHex().left(24);
    return PastaTravas() + QStringLiteral("/linkor-") + QString::fromLatin1(resumo) + QStringLiteral(".trava");
}

bool TTravaInstancia::Adquire(const QString& chave)
{
    Libera();
    const QString arquivo = ArquivoDaChave(chave);
    const QByteArray nome = QFile::encodeName(arquivo);
    // The holder removes its file when it lets go; a file removed between our open and our lock
    // is not the lock any more, so the lock counts only when the name still leads to our file.
    for (int tentativa = 0; tentativa < 10; ++tentativa) {
        int descritor = ::open(nome.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (descritor < 0 && errno == EACCES) // another user's file: reading is enough to lock it
            descritor = ::open(nome.constData(), O_RDONLY | O_CLOEXEC);
        if (descritor < 0) {
            const int erro = errno;
            throw EErro(QStringLiteral("Não foi possível criar a trava %1: %2")
                            .arg(arquivo, QString::fromLocal8Bit(std::strerror(erro))));
        }
        if (::flock(descritor, LOCK_EX | LOCK_NB) != 0) {
            const int erro = errno;
            ::close(descritor);
            if (erro == EWOULDBLOCK || erro == EINTR)
                return false;
            throw EErro(QStringLiteral("Não foi possível travar %1: %2")
                            .arg(arquivo, QString::fromLocal8Bit(std::strerror(erro))));
        }
        struct stat aberto {};
        struct stat nomeado {};
        if (::fstat(descritor, &aberto) == 0 && ::stat(nome.constData(), &nomeado) == 0
            && aberto.st_dev == nomeado.st_dev && aberto.st_ino == nomeado.st_ino) {
            FDescritor = descritor;
            FArquivo = arquivo;
            // Who holds it, for a technician who finds the file.
            const QByteArray dono = chave.toUtf8() + "\npid " + QByteArray::number(QCoreApplication::applicationPid())
                + "\n";
            if (::ftruncate(descritor, 0) == 0 && ::write(descritor, dono.constData(), dono.size()) < 0) {
                // only a note: the lock is what counts
            }
            return true;
        }
        ::close(descritor);
    }
    return false;
}

void TTravaInstancia::Libera()
{
    if (FDescritor < 0)
        return;
    // Removed while still held, so nobody can lock a file that is about to vanish.
    ::unlink(QFile::encodeName(FArquivo).constData());
    ::close(FDescritor);
    FDescritor = -1;
    FArquivo.clear();
}

void TravaPosto(TTravaInstancia& trava, const QString& pasta)
{
    if (!trava.Adquire(TTravaInstancia::ChavePosto(pasta)))
        throw EOutraInstancia(QStringLiteral("Já existe um Linkor aberto para este posto (pasta %1).\r"
                                             "Este não será iniciado: use o que já está aberto.")
                                  .arg(QDir::toNativeSeparators(pasta)));
}

void TravaPorta(TTravaInstancia& trava, const QString& dispositivo, const QString& nomePorta)
{
    if (!trava.Adquire(TTravaInstancia::ChaveDispositivo(dispositivo)))
        throw EOutraInstancia(QStringLiteral("A porta serial %1 (%2) já está sendo usada por outro Linkor.\r"
                                             "Este não será iniciado: use o que já está aberto.")
                                  .arg(nomePorta, dispositivo));
}
