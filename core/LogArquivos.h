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

// Appends lines to one file, opened and closed for every line, UTF-8 with CR LF line ends. A new
// file is readable by everyone and writable by its owner only.
// A line asked for while another line of the same log is being written (only possible from a
// nested message loop) is queued and written right after it: no wait, no interleaving.
class TLogArquivo {
public:
    // Raises EErro with the file system's reason when the file cannot be written; the line that
    // failed is not kept.
    void Acrescenta(const QString& caminho, const QString& linha);

private:
    bool FOcupado = false;
    QList<std::pair<QString, QString>> FPendentes;
    static void Grava(const QString& caminho, const QString& linha);
};

// The lines of a log file; empty when it does not exist. Raises EErro when it cannot be read.
QStringList LeLinhasLog(const QString& caminho);
