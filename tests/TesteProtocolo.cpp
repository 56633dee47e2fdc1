// Framing and field codings of our concentrator link, on byte arrays.
#include "ClassConcentrador.h"
#include "Protocolo.h"

#include <QTest>

using namespace Protocolo;

namespace {
TBytes Bytes(std::initializer_list<int> valores)
{
    TBytes bytes;
    for (int valor : valores)
        bytes.push_back(static_cast<std::uint8_t>(valor));
    return bytes;
}

TBytes operator+(TBytes a, const TBytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TBytes Quadro(int numero, const TBytes& dados = {})
{
    return MontaQuadro({static_cast<std::uint8_t>(numero), CmdLeStatus, dados});
}

// Feeds the bytes in pieces of `pedaco` and collects the request numbers of the frames that came out.
QList<int> Numeros(const TBytes& entrada, std::size_t pedaco, std::size_t* descartados = nullptr)
{
    TLeitorQuadros leitor;
    QList<int> numeros;
    for (std::size_t i = 0; i < entrada.size(); i += pedaco) {
        leitor.Acrescenta(entrada.data() + i, std::min(pedaco, entrada.size() - i));
        while (auto quadro = leitor.ExtraiQuadro())
            numeros << quadro->Numero;
    }
    if (descartados)
        *descartados = leitor.Descartados();
    return numeros;
}
} // namespace

Q_DECLARE_METATYPE(TBytes)

namespace {
// One fueling as the device keeps it.
TDadosAbastecimento AbastecimentoExemplo(std::int32_t id)
{
    TDadosAbastecimento dados;
    dados.Id = id;
    dados.Bico = "44";
    dados.Litragem = 25.437;
    dados.ValorTotal = 1500500;
    dados.PrecoUnit = 58990;
    dados.Data = "09/12/2025";
    dados.Hora = "14:03:27";
    dados.EncerranteFinal = 123456.5;
    return dados;
}
} // namespace

class TesteProtocolo : public QObject {
    Q_OBJECT
private slots:
    void QuadroVoltaIgual_data()
    {
        QTest::addColumn<TBytes>("dados");
        QTest::newRow("sem dados") << TBytes{};
        QTest::newRow("bytes de controle") << Bytes({Inicio, Inicio, 0x03, 0x80, 0xFF, 0});
        QTest::newRow("maximo") << TBytes(MaximoDados, Inicio);
    }
    void QuadroVoltaIgual()
    {
        QFETCH(TBytes, dados);
        const TQuadro enviado{42, CmdLeAbastecimento | Resposta, dados};
        TLeitorQuadros leitor;
        leitor.Acrescenta(MontaQuadro(enviado));
        const auto recebido = leitor.ExtraiQuadro();
        QVERIFY(recebido);
        QVERIFY(*recebido == enviado);
        QCOMPARE(leitor.Pendentes(), 0u);
        QCOMPARE(leitor.Descartados(), 0u);
    }

    void Ressincroniza_data()
    {
        QTest::addColumn<TBytes>("entrada");
        QTest::addColumn<QList<int>>("numeros");
        TBytes corrompido = Quadro(2, Bytes({1, 2, 3}));
        corrompido[5] ^= 0x10;
        TBytes truncado = Quadro(3, Bytes({9, 9, 9, 9}));
        truncado.resize(truncado.size() - 3);
        TBytes comEnxerto = Quadro(4, Bytes({7, 7, 7}));
        comEnxerto.insert(comEnxerto.begin() + 5, {0x55, 0xAA});

        QTest::newRow("dois seguidos") << Quadro(1) + Quadro(2) << QList<int>{1, 2};
        QTest::newRow("lixo antes") << Bytes({0xFF, 0x00, 0x41, 0x03}) + Quadro(5) << QList<int>{5};
        QTest::newRow("soma errada") << corrompido + Quadro(6) << QList<int>{6};
        QTest::newRow("truncado") << truncado + Quadro(7) << QList<int>{7};
        QTest::newRow("lixo dentro") << comEnxerto + Quadro(8) << QList<int>{8};
        // A stray start byte announcing a long frame must not hold back the good one behind it.
        QTest::newRow("inicio falso longo") << Bytes({Inicio, 250, 1}) + Quadro(9) << QList<int>{9};
        QTest::newRow("tamanho impossivel") << Bytes({Inicio, 1}) + Quadro(10) << QList<int>{10};
        QTest::newRow("so lixo") << Bytes({0x10, Inicio, 0x03, 0x00, 0x01, 0x02, 0x03, 0x04}) << QList<int>{};
    }
    void Ressincroniza()
    {
        QFETCH(TBytes, entrada);
        QFETCH(QList<int>, numeros);
        // All at once, byte by byte and in odd pieces: same frames.
        for (std::size_t pedaco : {entrada.size(), std::size_t{1}, std::size_t{3}})
            QCOMPARE(Numeros(entrada, pedaco), numeros);
    }

    void AcumuladoTemLimite()
    {
        // Endless noise with start bytes never grows the buffer past its bound.
        TLeitorQuadros leitor;
        const TBytes ruido = Bytes({Inicio, 200});
        for (int i = 0; i < 5000; ++i) {
            leitor.Acrescenta(ruido);
            leitor.ExtraiQuadro();
        }
        QVERIFY(leitor.Pendentes() <= MaximoAcumulado);
        leitor.Acrescenta(Quadro(11));
        std::optional<TQuadro> quadro;
        for (int i = 0; i < 10 && !quadro; ++i)
            quadro = leitor.ExtraiQuadro();
        QVERIFY(quadro);
        QCOMPARE(quadro->Numero, 11);
    }

    void AbastecimentoCodificado()
    {
        TDadosAbastecimento dados = AbastecimentoExemplo(9999);
        dados.Chave = 77;
        dados.CodFid = "ABCDEF0123456789";
        TEscritor escritor;
        CodificaAbastecimento(escritor, dados);
        TLeitor leitor(escritor.Bytes());
        const auto lido = DecodificaAbastecimento(leitor);
        QVERIFY(lido);
        QVERIFY(*lido == dados);
        QVERIFY(leitor.Fim());

        // Any cut short is refused, never half read.
        for (std::size_t tamanho = 0; tamanho < escritor.Bytes().size(); ++tamanho) {
            const TBytes curto(escritor.Bytes().begin(), escritor.Bytes().begin() + static_cast<std::ptrdiff_t>(tamanho));
            TLeitor leitorCurto(curto);
            QVERIFY2(!DecodificaAbastecimento(leitorCurto), qPrintable(QString::number(tamanho)));
        }
    }

    void RegistrosDaBiblioteca_data()
    {
        QTest::addColumn<QString>("fid");
        QTest::addColumn<QString>("fidLido");
        QTest::newRow("sem tag") << "" << QString(16, '0');
        QTest::newRow("com tag") << "00A1B2C3D4E5F607" << "00A1B2C3D4E5F607";
    }
    void RegistrosDaBiblioteca()
    {
        QFETCH(QString, fid);
        QFETCH(QString, fidLido);
        TDadosAbastecimento dados = AbastecimentoExemplo(169);
        dados.CodFid = fid.toStdString();

        TAbastecimento plano;
        std::memset(&plano, 0xAA, sizeof plano);
        PreencheRegistroPlano(reinterpret_cast<std::uint8_t*>(&plano), dados);
        TAbastecimentoFid comTag;
        std::memset(&comTag, 0xAA, sizeof comTag);
        PreencheRegistroFid(reinterpret_cast<std::uint8_t*>(&comTag), dados);

        QCOMPARE(plano.Valido, 1);
        QCOMPARE(plano.ValorTotal, 1500500);
        QCOMPARE(plano.Litragem, 25.437);
        QCOMPARE(plano.PrecoUnit, 58990);
        QCOMPARE(plano.Bico.Texto(), QString("44"));
        QCOMPARE(plano.Data.Texto(), QString("09/12/2025"));
        QCOMPARE(plano.Hora.Texto(), QString("14:03:27"));
        QCOMPARE(plano.Id, 169);
        QCOMPARE(plano.EncerranteFinal, 123456.5);
        QCOMPARE(plano.Reservado5[0], 0); // nothing left over from before

        QCOMPARE(comTag.Valido, 1);
        QCOMPARE(comTag.ValorTotal, 1500500);
        QCOMPARE(comTag.Bico.Texto(), QString("44"));
        QCOMPARE(comTag.Hora.Texto(), QString("14:03:27"));
        QCOMPARE(comTag.Id, 169);
        QCOMPARE(comTag.EncerranteFinal, 123456.5);
        QCOMPARE(comTag.CodFid.Texto(), fidLido);
    }
};

QTEST_APPLESS_MAIN(TesteProtocolo)
#include "TesteProtocolo.moc"
