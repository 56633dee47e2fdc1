#pragma once
// What every benchmark shares: the process's own counters (time, bytes written to disk, resident
// memory), medians over repetitions, and the one row format scripts/bench gathers into its table.
// A benchmark measures its figure and its baseline in the same run, in alternating blocks, so a
// machine busy with other work slows both alike and the ratio stays meaningful.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QVector>

#include <algorithm>
#include <cstdio>

namespace Bancada {

// Bytes this process caused to be written to storage (write_bytes of /proc/self/io). The
// embedded database engine runs inside the process, so its page writes count here.
inline qint64 BytesEscritos()
{
    QFile arquivo(QStringLiteral("/proc/self/io"));
    if (!arquivo.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& linha : arquivo.readAll().split('\n'))
        if (linha.startsWith("write_bytes:"))
            return linha.mid(12).trimmed().toLongLong();
    return -1;
}

// Resident memory in KiB (VmRSS of /proc/self/status).
inline qint64 MemoriaResidenteKb()
{
    QFile arquivo(QStringLiteral("/proc/self/status"));
    if (!arquivo.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& linha : arquivo.readAll().split('\n'))
        if (linha.startsWith("VmRSS:"))
            return linha.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

inline double Mediana(QVector<double> valores)
{
    if (valores.isEmpty())
        return 0;
    std::sort(valores.begin(), valores.end());
    const qsizetype n = valores.size();
    return n % 2 ? valores[n / 2] : (valores[n / 2 - 1] + valores[n / 2]) / 2;
}

// Time (ms) and bytes written per unit of one block of `n` units of work.
struct TBloco {
    double Ms = 0;
    double Bytes = 0;
};

template <typename F>
TBloco MedeBloco(int n, F&& trabalho)
{
    const qint64 antes = BytesEscritos();
    QElapsedTimer relogio;
    relogio.start();
    for (int i = 0; i < n; ++i)
        trabalho(i);
    TBloco bloco;
    bloco.Ms = static_cast<double>(relogio.nsecsElapsed()) / 1e6 / n;
    bloco.Bytes = static_cast<double>(BytesEscritos() - antes) / n;
    return bloco;
}

// Medians of a figure and its baseline over repetitions of alternating blocks.
struct TComparacao {
    QVector<double> Ms, MsBase, Bytes, BytesBase;
    void Acrescenta(const TBloco& figura, const TBloco& base)
    {
        Ms << figura.Ms;
        MsBase << base.Ms;
        Bytes << figura.Bytes;
        BytesBase << base.Bytes;
    }
    double MedianaMs() const { return Mediana(Ms); }
    double MedianaMsBase() const { return Mediana(MsBase); }
    double MedianaBytes() const { return Mediana(Bytes); }
    double MedianaBytesBase() const { return Mediana(BytesBase); }
};

inline QString Ms(double valor)
{
    return QString::number(valor, 'f', valor < 0.1 ? 4 : valor < 10 ? 3 : 1) + QStringLiteral(" ms");
}

inline QString Kb(double bytes)
{
    return QString::number(bytes / 1024.0, 'f', 1) + QStringLiteral(" KiB");
}

inline QString Razao(double figura, double base)
{
    if (base <= 0)
        return figura <= 0 ? QStringLiteral("=") : QStringLiteral("-");
    return QString::number(figura / base, 'f', 2) + QStringLiteral("x");
}

// One row of the table: "LINHA|#|what|figure|baseline|ratio|goal|met". scripts/bench keeps
// these lines and passes every other line through as notes.
inline void Linha(const QString& numero, const QString& oque, const QString& figura, const QString& base,
                  const QString& razao, const QString& meta, bool cumprida)
{
    const QString linha = QStringList{QStringLiteral("LINHA"), numero, oque, figura, base, razao, meta,
                                      cumprida ? QStringLiteral("yes") : QStringLiteral("NO")}
                              .join('|');
    std::printf("%s\n", linha.toUtf8().constData());
    std::fflush(stdout);
}

inline void Nota(const QString& texto)
{
    std::printf("%s\n", texto.toUtf8().constData());
    std::fflush(stdout);
}

// Repetitions: LINKOR_BENCH_REPETICOES overrides the default (scripts/bench --rapido uses 3).
inline int Repeticoes(int padrao)
{
    const int definido = qEnvironmentVariableIntValue("LINKOR_BENCH_REPETICOES");
    return definido > 0 ? definido : padrao;
}

// A size scaled down by LINKOR_BENCH_ESCALA (a divisor, for a quick look; 1 by default).
inline int Escala(int tamanho)
{
    const int divisor = qEnvironmentVariableIntValue("LINKOR_BENCH_ESCALA");
    return divisor > 1 ? std::max(1, tamanho / divisor) : tamanho;
}

} // namespace Bancada
