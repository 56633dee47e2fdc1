#include "LogArquivos.h"

#include "Erro.h"
#include "Regional.h"
#include "Textos.h"

#include <QFile>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString MontaLinhaLog(const QString& Data, const QString& Hora, const QString& Bico, double Litragem,
                      double Valor, double PrecoUnit, const QString& Sequencia, const QString& Id,
                      const QString& CodConcentrador, const TConfiguracaoRegional& regional)
{
    return QStringLiteral(" ") + Data + QStringLiteral("   ") + Hora + QStringLiteral("   ") + Bico
        + QStringLiteral("   ") + FormataNumero(QStringLiteral("#,##0.000"), Litragem, regional) + QStringLiteral("     ")
        + FormataNumero(QStringLiteral("##0.000"), PrecoUnit, regional) + QStringLiteral("  ")
        + FormataNumero(QStringLiteral("##,##0.00"), Valor, regional) + QStringLiteral("   ") + StrZero(Sequencia, 3)
        + QStringLiteral("  ") + StrZero(Id, 4) + QStringLiteral("   ") + CodConcentrador;
}

QStringList MontaCabecalhoLog(const QDate& dia, const TConfiguracaoRegional& regional)
{
    return {
        QStringLiteral("             ARQUIVO DE LOG DO CONCENTRADOR COMPANYTEC  -  ") + regional.TextoData(dia),
        QString(83, '='),
        QStringLiteral(" DATA         HORA       BICO     LITRAGEM  VALOR UNIT      TOTAL   SEQ   ID  CANAL"),
        QStringLiteral(" ----------   --------   -----  ----------  ----------    -------   --- ----   ----"),
    };
}

QString NomeLogDoDia(const QDate& dia, const TConfiguracaoRegional& regional)
{
    return QStringLiteral("LogLinkor") + SubstituiTexto(regional.TextoData(dia), QStringLiteral("/"), QString());
}

QString MontaLinhaErro(const QDateTime& momento, const QString& mensagem, const TConfiguracaoRegional& regional)
{
    return regional.TextoDataCurta(momento.date()) + ' ' + regional.TextoHoraLonga(momento.time()) + ' ' + mensagem;
}

void TLogArquivo::Acrescenta(const QString& caminho, const QString& linha)
{
    Retem(caminho, linha);
    if (FOcupado)
        return; // the outer call writes it right after its own
    FOcupado = true;
    auto libera = qScopeGuard([this] { FOcupado = false; });
    GravaRetidas();
}

bool TLogArquivo::Descarrega()
{
    if (FOcupado)
        return FRetidas.isEmpty();
    FOcupado = true;
    auto libera = qScopeGuard([this] { FOcupado = false; });
    try {
        GravaRetidas();
    } catch (const EErro&) {
        return false;
    }
    return true;
}

void TLogArquivo::Retem(const QString& caminho, const QString& linha)
{
    if (FRetidas.size() >= kMaximoRetidas) {
        FRetidas.removeFirst();
        ++FDescartadas;
    }
    FRetidas.append({caminho, linha});
}

void TLogArquivo::GravaRetidas()
{
    while (!FRetidas.isEmpty()) {
        const auto& [caminho, linha] = FRetidas.first();
        try {
            if (FDescartadas > 0) {
                Grava(caminho,
                      QStringLiteral("(%1 linhas anteriores perdidas: o arquivo ficou sem gravação por "
                                     "muito tempo)")
                          .arg(FDescartadas),
                      FCausa);
                FDescartadas = 0;
            }
            Grava(caminho, linha, FCausa);
        } catch (const EErro& e) {
            FMotivo = e.Mensagem();
            throw;
        }
        FRetidas.removeFirst();
    }
    FMotivo.clear();
    FCausa = TCausaFalhaLog::Nenhuma;
}

namespace {
TCausaFalhaLog CausaDoErro(int erro)
{
    switch (erro) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return TCausaFalhaLog::DiscoCheio;
    case EACCES:
    case EPERM:
    case EROFS:
        return TCausaFalhaLog::SemPermissao;
    default:
        return TCausaFalhaLog::Outra;
    }
}

// Not a plain file where a log goes.
constexpr int kNaoEArquivo = -1;

QString TextoDoErro(int erro)
{
    switch (CausaDoErro(erro)) {
    case TCausaFalhaLog::DiscoCheio:
        return QStringLiteral("disco cheio");
    case TCausaFalhaLog::SemPermissao:
        return QStringLiteral("sem permissão de gravação");
    default:
        if (erro == ELOOP || erro == ENXIO || erro == kNaoEArquivo)
            return QStringLiteral("no lugar do arquivo há um link ou algo que não é um arquivo comum, e o Linkor não "
                                  "os segue na pasta do posto: apague-o");
        return erro == ENOENT ? QStringLiteral("a pasta não existe") : QString::fromLocal8Bit(std::strerror(erro));
    }
}
// After a close that failed the descriptor is gone, so the file is opened again to cut the line
// back: never through a link, and only if it is still the file written to (a member of the
// station's group may have swapped it in the meantime, or the log rotated) and cutting makes it
// shorter.
void CortaDeNovo(const QByteArray& nome, const struct stat& antes)
{
    const int descritor = ::open(nome.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descritor < 0)
        return;
    struct stat agora {};
    if (::fstat(descritor, &agora) == 0 && S_ISREG(agora.st_mode) && agora.st_dev == antes.st_dev
        && agora.st_ino == antes.st_ino && agora.st_size > antes.st_size && ::ftruncate(descritor, antes.st_size) != 0) {
        // nothing more to try: the caller's reason still says what went wrong
    }
    ::close(descritor);
}
} // namespace

void TLogArquivo::Grava(const QString& caminho, const QString& linha, TCausaFalhaLog& causa)
{
    const QByteArray nome = QFile::encodeName(caminho);
    const QByteArray bytes = linha.toUtf8() + "\r\n";
    const auto falha = [&](int erro) {
        causa = CausaDoErro(erro);
        return EErro(QStringLiteral("Não foi possível gravar o arquivo %1: %2").arg(caminho, TextoDoErro(erro)));
    };
    // Group-writable where the process's umask allows it (a station folder shared by the window
    // and the service through their group), never readable by others: the logs are the day's sales.
    // Never through a link, never into a device or a pipe: anyone of the group could plant one
    // here to make us append to a file of their choosing.
    const int descritor = ::open(nome.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0660);
    if (descritor < 0)
        throw falha(errno);
    struct stat antes {};
    const bool lido = ::fstat(descritor, &antes) == 0;
    if (!lido || !S_ISREG(antes.st_mode)) {
        const int erro = lido ? kNaoEArquivo : errno;
        ::close(descritor);
        throw falha(erro);
    }
    qsizetype escritos = 0;
    int erro = 0;
    while (escritos < bytes.size()) {
        const ssize_t n = ::write(descritor, bytes.constData() + escritos, static_cast<size_t>(bytes.size() - escritos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            erro = n < 0 ? errno : ENOSPC;
            break;
        }
        escritos += n;
    }
    if (erro == 0 && ::close(descritor) == 0)
        return;
    if (erro == 0) { // the close reported what the writes did not
        erro = errno;
        CortaDeNovo(nome, antes);
        throw falha(erro);
    }
    // The file ends where it ended before this line, so the retry writes it whole.
    if (::ftruncate(descritor, antes.st_size) != 0) {
        // nothing more to try: the reason below still says what went wrong
    }
    ::close(descritor);
    throw falha(erro);
}

QStringList LeLinhasLog(const QString& caminho)
{
    QFile arquivo(caminho);
    if (!arquivo.exists())
        return {};
    if (!arquivo.open(QIODevice::ReadOnly))
        throw EErro(QStringLiteral("Não foi possível ler o arquivo %1: %2").arg(caminho, arquivo.errorString()));
    QString texto = QString::fromUtf8(arquivo.readAll());
    texto.remove('\r');
    QStringList linhas = texto.split('\n');
    if (!linhas.isEmpty() && linhas.last().isEmpty())
        linhas.removeLast();
    return linhas;
}
