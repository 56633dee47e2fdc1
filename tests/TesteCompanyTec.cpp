// The driver against a recording library: which entry each operation calls, with what, and how
// the answers are converted.
#include "ClassCompanyTec.h"
#include "Erro.h"
#include "Regional.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>
#include <functional>

namespace {
QString CaminhoBiblioteca()
{
    return QCoreApplication::applicationDirPath() + "/libCompanytecTeste.so";
}

// The test's own handle on the recording library: the same copy the driver loaded.
struct TBibliotecaTeste {
    void* Handle = nullptr;
    template <typename F>
    F Funcao(const char* nome) const
    {
        return reinterpret_cast<F>(dlsym(Handle, nome));
    }
    void Limpa() const { Funcao<std::int32_t (*)()>("TesteLimpa")(); }
    QString Chamadas() const
    {
        char texto[4096];
        Funcao<std::int32_t (*)(char*, std::int32_t)>("TesteChamadas")(texto, sizeof texto);
        return QString::fromLatin1(texto);
    }
};

QByteArray BytesDe(const void* registro, std::size_t tamanho)
{
    return QByteArray(static_cast<const char*>(registro), static_cast<qsizetype>(tamanho));
}
} // namespace

class TesteCompanyTec : public QObject {
    Q_OBJECT
    TBibliotecaTeste Biblioteca;
    QTemporaryDir Pasta;
    TCompanyTec Driver{TConfiguracaoRegional::PtBr()};

private slots:
    void initTestCase()
    {
        // The recording library opens nothing; the driver still locks the port's device, here a
        // plain file of this run.
        QVERIFY(Pasta.isValid());
        QFile porta(Pasta.filePath("ttyS2"));
        QVERIFY(porta.open(QIODevice::WriteOnly));
        qputenv("COMPANYTEC_PORTA3", QFile::encodeName(porta.fileName()));
        TCompanyTec::DefineArquivoBiblioteca(CaminhoBiblioteca());
        Driver.PCarregaDllConcentrador();
        Biblioteca.Handle = dlopen(QFile::encodeName(CaminhoBiblioteca()).constData(), RTLD_NOW | RTLD_NOLOAD);
        QVERIFY2(Biblioteca.Handle, "the driver did not load the recording library");
    }
    void init() { Biblioteca.Limpa(); }

    void StatusViraLetras_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("letras");
        QByteArray todos(48, 0);
        QString esperado;
        for (int i = 0; i < 48; ++i) {
            todos[i] = static_cast<char>(i % 7);
            esperado += QString("LPFCABE").at(i % 7);
        }
        QTest::newRow("todos de 0 a 6") << todos << esperado;
        // A byte it does not know keeps its place: its position gets "?", the others their own.
        QByteArray setimo = todos;
        setimo[4] = 7;
        QTest::newRow("7 no quinto byte") << setimo << esperado.left(4) + "?" + esperado.mid(5);
        QByteArray altos(48, 0);
        altos[0] = static_cast<char>(200);
        altos[47] = 6;
        QTest::newRow("acima de 6 nas pontas") << altos << "?" + QString(46, 'L') + "E";
        QByteArray bloqueioDepois(48, 0);
        bloqueioDepois[1] = static_cast<char>(255);
        bloqueioDepois[2] = 5;
        QTest::newRow("bloqueio depois de um byte desconhecido")
            << bloqueioDepois << "L?B" + QString(45, 'L');
        QTest::newRow("nenhum conhecido") << QByteArray(48, static_cast<char>(9)) << QString(48, '?');
    }
    void StatusViraLetras()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, letras);
        Biblioteca.Funcao<std::int32_t (*)(const char*)>("TesteDefineStatus")(bytes.constData());
        QCOMPARE(Driver.GetLeStatus(), letras);
        QCOMPARE(Biblioteca.Chamadas(), QString("LeStatus\n"));
    }

    void StatusSemRespostaNaoViraLetras()
    {
        // 48 zero bytes would read as every position free: no answer must not look like data.
        Biblioteca.Funcao<std::int32_t (*)(const char*)>("TesteDefineStatus")(QByteArray(48, 0).constData());
        Biblioteca.Funcao<std::int32_t (*)(std::int32_t)>("TesteDefineRetornoStatus")(0);
        QVERIFY_THROWS_EXCEPTION(EErroSemResposta, Driver.GetLeStatus());
    }

    void StatusDoBicoTemSempre100Caracteres()
    {
        Biblioteca.Funcao<std::int32_t (*)(const char*, std::int32_t)>("TesteDefineStStatus")("LPB", 3);
        const QString texto = Driver.FGetStStatusBico();
        QCOMPARE(texto.size(), 100);
        QCOMPARE(texto.left(3), QString("LPB"));
        QCOMPARE(texto.mid(3), QString(97, QChar(0)));
        QCOMPARE(Biblioteca.Chamadas(), QString("LeStStatus\n"));
    }

    void CodigoDecimalViraHexa_data()
    {
        QTest::addColumn<QString>("codigo");
        QTest::addColumn<QString>("hexa");
        QTest::newRow("068") << "068" << "44";
        QTest::newRow("10") << "10" << "0A";
        QTest::newRow("4") << "4" << "04";
        QTest::newRow("0") << "0" << "00";
        QTest::newRow("255") << "255" << "FF";
        QTest::newRow("300") << "300" << "12C";
    }
    void CodigoDecimalViraHexa()
    {
        QFETCH(QString, codigo);
        QFETCH(QString, hexa);
        Driver.FBloqueiaBico(codigo);
        Driver.FLiberaBico(codigo);
        QCOMPARE(Biblioteca.Chamadas(), "BloqueiaBico " + hexa + "\nAutoLibera " + hexa + "\n");
    }

    void CodigoNaoDecimalNaoChegaABiblioteca_data()
    {
        QTest::addColumn<QString>("codigo");
        QTest::newRow("hexa") << "6A";
        QTest::newRow("cifrao") << "$44";
        QTest::newRow("vazio") << "";
    }
    void CodigoNaoDecimalNaoChegaABiblioteca()
    {
        QFETCH(QString, codigo);
        QVERIFY_THROWS_EXCEPTION(EErroConversao, Driver.FBloqueiaBico(codigo));
        QVERIFY_THROWS_EXCEPTION(EErroConversao, Driver.FLiberaBico(codigo));
        QCOMPARE(Biblioteca.Chamadas(), QString());
    }

    void InicializaSerialOlhaSoOByteBaixo_data()
    {
        QTest::addColumn<int>("retorno");
        QTest::addColumn<bool>("aberta");
        QTest::newRow("1") << 1 << true;
        QTest::newRow("0") << 0 << false;
        QTest::newRow("0x100") << 0x100 << false;
        QTest::newRow("0xFF00") << 0xFF00 << false;
        QTest::newRow("0x101") << 0x101 << true;
        QTest::newRow("-1") << -1 << true;
    }
    void InicializaSerialOlhaSoOByteBaixo()
    {
        QFETCH(int, retorno);
        QFETCH(bool, aberta);
        Biblioteca.Funcao<std::int32_t (*)(std::int32_t)>("TesteDefineRetornoSerial")(retorno);
        QCOMPARE(Driver.InicializaSerial(3), aberta);
        QCOMPARE(Biblioteca.Chamadas(), QString("InicializaSerial 3\n"));
    }

    void CadaOperacaoChamaSuaEntrada_data()
    {
        QTest::addColumn<QString>("operacao");
        QTest::addColumn<QString>("chamada");
        QTest::newRow("AlteraPrecoBico") << "AlteraPrecoBico" << "RefAltPreco 44 5.8900 3";
        QTest::newRow("AcertaDataHora") << "AcertaDataHora" << "SetClock AUTO";
        QTest::newRow("FinalizaSerial") << "FinalizaSerial" << "FechaSerial";
        // A fueling waits for the database: the close must not acknowledge it.
        QTest::newRow("FinalizaSerial retendo") << "FinalizaSerialRetem" << "FechaSerialSemConfirmar";
        QTest::newRow("GetLeAbastecimento") << "GetLeAbastecimento" << "LeAbastecimento";
        QTest::newRow("GetLeAbastecimentoFID") << "GetLeAbastecimentoFID" << "LeAbastecimentoFid";
        QTest::newRow("FLeRegistro") << "FLeRegistro" << "LeRegistro 169";
        QTest::newRow("ConsultaEncerrante") << "ConsultaEncerrante" << "ConsultaEncerrante 76 68";
        QTest::newRow("LerEncerrante") << "LerEncerrante" << "ConsultaEncerrante 76 68";
        QTest::newRow("PrecoUnitario") << "PrecoUnitario" << "RefLePPL 44";
        QTest::newRow("GetLeVisualizacao") << "GetLeVisualizacao" << "LeVisualizacao";
    }
    void CadaOperacaoChamaSuaEntrada()
    {
        QFETCH(QString, operacao);
        QFETCH(QString, chamada);
        const QMap<QString, std::function<void()>> operacoes{
            {"AlteraPrecoBico", [&] { Driver.AlteraPrecoBico("44", 3, 5.89); }},
            {"AcertaDataHora", [&] { Driver.AcertaDataHora(); }},
            {"FinalizaSerial", [&] { Driver.FinalizaSerial(TUltimoEntregue::Confirma); }},
            {"FinalizaSerialRetem", [&] { Driver.FinalizaSerial(TUltimoEntregue::Retem); }},
            {"GetLeAbastecimento", [&] { Driver.GetLeAbastecimento(); }},
            {"GetLeAbastecimentoFID", [&] { Driver.GetLeAbastecimentoFID(); }},
            {"FLeRegistro", [&] { Driver.FLeRegistro(169); }},
            {"ConsultaEncerrante", [&] { Driver.ConsultaEncerrante("68"); }},
            {"LerEncerrante", [&] { Driver.LerEncerrante('L', "68"); }},
            {"PrecoUnitario", [&] { Driver.PrecoUnitario("44"); }},
            {"GetLeVisualizacao", [&] { Driver.GetLeVisualizacao(); }},
        };
        operacoes.value(operacao)();
        QCOMPARE(Biblioteca.Chamadas(), chamada + "\n");
    }

    // A read the concentrator did not answer is an error; "none waiting" (0) is an empty record.
    void LeituraSemRespostaEErro_data()
    {
        QTest::addColumn<QString>("operacao");
        QTest::addColumn<int>("retorno");
        for (const char* operacao : {"GetLeAbastecimento", "GetLeAbastecimentoFID", "FLeRegistro"}) {
            QTest::newRow(qPrintable(QString(operacao) + " sem resposta")) << operacao << -1;
            QTest::newRow(qPrintable(QString(operacao) + " nenhum")) << operacao << 0;
        }
    }
    void LeituraSemRespostaEErro()
    {
        QFETCH(QString, operacao);
        QFETCH(int, retorno);
        Biblioteca.Funcao<std::int32_t (*)(std::int32_t)>("TesteDefineRetornoLeitura")(retorno);
        const QMap<QString, std::function<void()>> operacoes{
            {"GetLeAbastecimento", [&] { Driver.GetLeAbastecimento(); }},
            {"GetLeAbastecimentoFID", [&] { Driver.GetLeAbastecimentoFID(); }},
            {"FLeRegistro", [&] { Driver.FLeRegistro(169); }},
        };
        if (retorno < 0)
            QVERIFY_THROWS_EXCEPTION(EErroSemResposta, operacoes.value(operacao)());
        else
            operacoes.value(operacao)();
    }

    void AbastecimentoChegaComoABibliotecaPreencheu()
    {
        QByteArray imagem(144, 0);
        for (int i = 0; i < imagem.size(); ++i)
            imagem[i] = static_cast<char>(i * 7 + 1);
        Biblioteca.Funcao<std::int32_t (*)(const char*)>("TesteDefineAbastecimento")(imagem.constData());
        const TAbastecimento lido = Driver.GetLeAbastecimento();
        QCOMPARE(BytesDe(&lido, sizeof lido), imagem);
        const TAbastecimento registro = Driver.FLeRegistro(7);
        QCOMPARE(BytesDe(&registro, sizeof registro), imagem);
    }

    void LerEncerranteSubstituiALeitura()
    {
        const auto define = Biblioteca.Funcao<std::int32_t (*)(const void*)>("TesteDefineEncerrante");
        TEncerrante primeira = RegistroVazio<TEncerrante>();
        primeira.Bico.Define("68");
        primeira.Encerrante = 12345.678;
        define(&primeira);
        Driver.LerEncerrante('L', "68");
        QCOMPARE(BytesDe(&Driver.LeituraEncerrante, 16), BytesDe(&primeira, 16));

        // Whatever the library writes next replaces all of it, garbage included.
        QByteArray segunda(16, '\xC3');
        segunda[0] = 2;
        define(segunda.constData());
        Driver.LerEncerrante('L', "05");
        QCOMPARE(BytesDe(&Driver.LeituraEncerrante, 16), segunda);
        QCOMPARE(Biblioteca.Chamadas(), QString("ConsultaEncerrante 76 68\nConsultaEncerrante 76 05\n"));
    }

    void PrecoUnitarioLeOFormatoDoUsuario()
    {
        const auto define = Biblioteca.Funcao<std::int32_t (*)(const char*)>("TesteDefinePreco");
        define("5,899");
        QCOMPARE(Driver.PrecoUnitario("44"), 5.899);
        define("5.899"); // the library's own "." is taken too
        QCOMPARE(Driver.PrecoUnitario("44"), 5.899);
        define("5;899");
        QVERIFY_THROWS_EXCEPTION(EErroConversao, Driver.PrecoUnitario("44"));
    }
};

QTEST_GUILESS_MAIN(TesteCompanyTec)
#include "TesteCompanyTec.moc"
