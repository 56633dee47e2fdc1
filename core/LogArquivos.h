#pragma once
// The fueling log and the error log: line layouts and the append-only files beside the executable.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

struct TConfiguracaoRegional;

// " 09/12/2025   14:03:27   00012      25,437       5,899     150,05   002  0169   041"
QString MontaLinhaLog(const QString& Data, const QString& Hora, const QString& Bico, double Litragem,
                      double Valor, double PrecoUnit, const QString& Sequencia, const QString& Id,
                      const QString& CodConcentrador, const TConfiguracaoRegional& regional);
// The four lines of the header pane.
QStringList MontaCabecalhoLog(const QDate& dia, const TConfiguracaoRegional& regional);
// "LogLinkor" + the day in the short date form with every "/" removed.
QString NomeLogDoDia(const QDate& dia, const TConfiguracaoRegional& regional);
// dd/mm/yy hh:mm:ss message
QString MontaLinhaErro(const QDateTime& momento, const QString& mensagem, const TConfiguracaoRegional& regional);

// Why a log line could not be written.
enum class TCausaFalhaLog {
    Nenhuma,
    DiscoCheio,   // no space left (or the user's quota is used up)
    SemPermissao, // the folder or the file refuses writing, or the disk is mounted read-only
    Outra,
};

// Appends lines to one file, opened and closed for every line, UTF-8 with CR LF line ends. A new
// file is readable by everyone and writable by its owner only. A line is written whole or not at
// all: what a failing write left of it is cut off again, so a retried line never follows its own
// fragment.
// A line asked for while another line of the same log is being written (only possible from a
// nested message loop) is queued and written right after it: no wait, no interleaving.
// A line that cannot be written is kept, in order, and written before any later line once the
// file accepts writing again (a folder turned read-only, a full disk).
class TLogArquivo {
public:
    // Raises EErro with the file system's reason when the file cannot be written; the line is kept.
    void Acrescenta(const QString& caminho, const QString& linha);
    // Writes the kept lines; true when none is left. Never raises; the reason of a failure is
    // in Motivo().
    bool Descarrega();
    qsizetype Retidas() const { return FRetidas.size(); }
    const QString& Motivo() const { return FMotivo; }
    // The cause of the last failure; Nenhuma once every kept line was written.
    TCausaFalhaLog Causa() const { return FCausa; }

    // Lines kept beyond this many are dropped, oldest first, and the count of dropped lines is
    // written in their place once writing works again.
    static constexpr qsizetype kMaximoRetidas = 100000;

private:
    bool FOcupado = false;
    QList<std::pair<QString, QString>> FRetidas;
    qsizetype FDescartadas = 0;
    QString FMotivo;
    TCausaFalhaLog FCausa = TCausaFalhaLog::Nenhuma;
    void Retem(const QString& caminho, const QString& linha);
    void GravaRetidas(); // raises at the first line that fails; the rest stays kept
    // Raises with the cause in `causa`.
    static void Grava(const QString& caminho, const QString& linha, TCausaFalhaLog& causa);
};

// The lines of a log file; empty when it does not exist. Raises EErro when it cannot be read.
QStringList LeLinhasLog(const QString& caminho);
