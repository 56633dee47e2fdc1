// The fuzz targets, each over inputs made from its examples by a fixed-seed generator: a short,
// repeatable run of what scripts/fuzz does at length.
#include "Alvos.h"

#include <QTest>

#include <random>

namespace {
constexpr int EntradasPorAlvo = 5000;
constexpr std::size_t TamanhoMaximo = 8192;

// Bytes that mean something to some target: frame start, answer bit, line end, INI punctuation, a
// UTF-8 lead byte.
constexpr std::uint8_t Marcantes[] = {0x00, 0x02, 0x80, 0xFF, 0xFE, '\n', '\r', '=', '[', ']', ';', ' ', 0xC3};

std::size_t Sorteia(std::mt19937& gerador, std::size_t limite)
{
    return limite == 0 ? 0 : gerador() % limite;
}

// An example changed by a few random edits.
TEntradaFuzz Muta(const std::vector<TEntradaFuzz>& exemplos, std::mt19937& gerador)
{
    TEntradaFuzz entrada = exemplos[Sorteia(gerador, exemplos.size())];
    const int edicoes = 1 + static_cast<int>(gerador() % 8);
    for (int i = 0; i < edicoes; ++i) {
        const std::size_t posicao = Sorteia(gerador, entrada.size() + 1);
        switch (gerador() % 6) {
        case 0:
            if (posicao < entrada.size())
                entrada[posicao] ^= static_cast<std::uint8_t>(1u << (gerador() % 8));
            break;
        case 1:
            if (posicao < entrada.size())
                entrada[posicao] = Marcantes[Sorteia(gerador, std::size(Marcantes))];
            break;
        case 2:
            for (std::size_t n = 1 + Sorteia(gerador, 16); n > 0; --n)
                entrada.insert(entrada.begin() + static_cast<std::ptrdiff_t>(posicao), static_cast<std::uint8_t>(gerador()));
            break;
        case 3:
            entrada.erase(entrada.begin() + static_cast<std::ptrdiff_t>(posicao),
                          entrada.begin() + static_cast<std::ptrdiff_t>(std::min(entrada.size(), posicao + 1 + Sorteia(gerador, 32))));
            break;
        case 4: {
            // A piece of another example (or this one) spliced in.
            const TEntradaFuzz& doador = exemplos[Sorteia(gerador, exemplos.size())];
            const std::size_t inicio = Sorteia(gerador, doador.size());
            const std::size_t fim = inicio + Sorteia(gerador, doador.size() - inicio + 1);
            entrada.insert(entrada.begin() + static_cast<std::ptrdiff_t>(posicao),
                           doador.begin() + static_cast<std::ptrdiff_t>(inicio), doador.begin() + static_cast<std::ptrdiff_t>(fim));
            break;
        }
        default:
            entrada.resize(posicao);
            break;
        }
    }
    if (entrada.size() > TamanhoMaximo)
        entrada.resize(TamanhoMaximo);
    return entrada;
}

// The broken promise or exception, with the input to replay it; empty when all went well.
QString Executa(const TAlvoFuzz& alvo, const TEntradaFuzz& entrada)
{
    try {
        alvo.Testa(entrada.data(), entrada.size());
        return {};
    } catch (const std::exception& e) {
        const QByteArray bytes(reinterpret_cast<const char*>(entrada.data()), static_cast<qsizetype>(entrada.size()));
        return QString("%1: %2\nentrada (hex): %3").arg(alvo.Nome, e.what(), QString::fromLatin1(bytes.toHex()));
    }
}
} // namespace

class TesteFuzz : public QObject {
    Q_OBJECT
private slots:
    void AlvoAguentaEntradasSorteadas_data()
    {
        QTest::addColumn<QString>("nome");
        for (const TAlvoFuzz& alvo : ListaAlvos())
            QTest::newRow(alvo.Nome) << QString(alvo.Nome);
    }
    void AlvoAguentaEntradasSorteadas()
    {
        QFETCH(QString, nome);
        const TAlvoFuzz* alvo = ProcuraAlvo(nome.toStdString());
        QVERIFY(alvo);
        const std::vector<TEntradaFuzz> exemplos = alvo->Exemplos();
        QVERIFY(!exemplos.empty());
        for (const TEntradaFuzz& entrada : exemplos) {
            const QString falha = Executa(*alvo, entrada);
            QVERIFY2(falha.isEmpty(), qPrintable(falha));
        }
        QVERIFY2(Executa(*alvo, {}).isEmpty(), "empty input");
        std::mt19937 gerador(20251209);
        for (int i = 0; i < EntradasPorAlvo; ++i) {
            const QString falha = Executa(*alvo, Muta(exemplos, gerador));
            QVERIFY2(falha.isEmpty(), qPrintable("entrada sorteada " + QString::number(i) + ", " + falha));
        }
    }

    // Inputs that once broke a target, kept so that the fault stays fixed.
    void EntradaQueJaQuebrou_data()
    {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<QByteArray>("entrada");
        // A price beyond what the money fields hold, accepted from the line, made the next automatic
        // fueling's total overflow: every nozzle set to 1e300, then one automatic fueling.
        QTest::newRow("dispositivo: preco enorme pela linha")
            << "dispositivo"
            << QByteArray::fromHex("000e50090230349c7500883ce4377e03000e50090230359c7500883ce4377e03"
                                   "000e50090234349c7500883ce4377e03000e50090234359c7500883ce4377e030200");
        // The same, as the fuzzer first found it.
        QTest::newRow("dispositivo: achado pelo fuzzer") << "dispositivo" << QByteArray::fromHex("000e50090230356365717171717171717171717171717171717171717171717171717171717171717171718080808080c072");
    }
    void EntradaQueJaQuebrou()
    {
        QFETCH(QString, nome);
        QFETCH(QByteArray, entrada);
        const TAlvoFuzz* alvo = ProcuraAlvo(nome.toStdString());
        QVERIFY(alvo);
        const QString falha = Executa(*alvo, TEntradaFuzz(entrada.begin(), entrada.end()));
        QVERIFY2(falha.isEmpty(), qPrintable(falha));
    }
};

QTEST_GUILESS_MAIN(TesteFuzz)
#include "TesteFuzz.moc"
