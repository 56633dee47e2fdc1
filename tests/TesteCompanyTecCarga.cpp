// Loading the library: a file that does not load, and a library that lacks entries. Runs in its
// own process because a successful load is for good; the failed load must come first.
#include "ClassCompanyTec.h"
#include "Erro.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>
#include <functional>

namespace {
QString CaminhoIncompleta()
{
    return QCoreApplication::applicationDirPath() + "/libCompanytecIncompleta.so";
}

QString MensagemDaOperacao(const std::function<void()>& operacao)
{
    try {
        operacao();
    } catch (const EErro& erro) {
        return erro.Mensagem();
    }
    return QStringLiteral("(nenhum erro)");
}
} // namespace

class TesteCompanyTecCarga : public QObject {
    Q_OBJECT
private slots:
    void ArquivoQueNaoCarrega()
    {
        TCompanyTec::DefineArquivoBiblioteca(QCoreApplication::applicationDirPath() + "/naoexiste/libCompanytec.so");
        TCompanyTec driver;
        QCOMPARE(MensagemDaOperacao([&] { driver.PCarregaDllConcentrador(); }),
                 QString("Não foi possível carregar a biblioteca COMPANYTEC.DLL !\r"
                         "O concentrador pode não funcionar corretamente."));
        // The close that follows a failed start-up.
        driver.FinalizaSerial(TUltimoEntregue::Confirma);
        QCOMPARE(MensagemDaOperacao([&] { driver.GetLeStatus(); }),
                 QString("A biblioteca do concentrador não tem a função LeStatus."));
    }

    // A damaged library file (a copy cut short, a download that stopped) is said, with the file and
    // what is wrong; the loader is never handed it, where it would die of SIGBUS.
    void BibliotecaTruncadaEMensagem_data()
    {
        QTest::addColumn<qint64>("tamanho"); // bytes kept; negative: counted from the end
        QTest::addColumn<QString>("defeito");
        QTest::newRow("vazia") << qint64(0) << "não é uma biblioteca (0 bytes, sem o cabeçalho ELF)";
        QTest::newRow("so o inicio do cabecalho") << qint64(40) << "o cabeçalho está incompleto";
        // Inside the code the loader maps: the load itself would fault.
        QTest::newRow("cortada no codigo") << qint64(8192) << "um segmento carregado termina além do fim do arquivo";
        QTest::newRow("metade") << qint64(-2) << "a tabela de seções está fora do arquivo";
        QTest::newRow("falta um byte") << qint64(-1) << "a tabela de seções está fora do arquivo";
    }
    void BibliotecaTruncadaEMensagem()
    {
        QFETCH(qint64, tamanho);
        QFETCH(QString, defeito);
        QTemporaryDir pasta;
        const QString copia = pasta.filePath("libCompanytec.so");
        QVERIFY(QFile::copy(CaminhoIncompleta(), copia));
        QFile arquivo(copia);
        const qint64 inteiro = arquivo.size();
        const qint64 mantido = tamanho == -2 ? inteiro / 2 : tamanho == -1 ? inteiro - 1 : tamanho;
        QVERIFY(arquivo.resize(mantido));
        TCompanyTec::DefineArquivoBiblioteca(copia);
        TCompanyTec driver;
        const QString mensagem = MensagemDaOperacao([&] { driver.PCarregaDllConcentrador(); });
        const QString inicio = "Não foi possível carregar a biblioteca COMPANYTEC.DLL !\r"
                               "O concentrador pode não funcionar corretamente.\rO arquivo " + copia + " ";
        QVERIFY2(mensagem.startsWith(inicio) && mensagem.endsWith(defeito + "."), qPrintable(mensagem));
        if (tamanho != 0)
            QVERIFY2(mensagem.contains(QString("está incompleto ou danificado (%1 bytes)").arg(mantido)),
                     qPrintable(mensagem));
    }

    void EntradaAusente_data()
    {
        QTest::addColumn<QString>("operacao");
        QTest::addColumn<QString>("entrada");
        QTest::newRow("GetLeStatus") << "GetLeStatus" << "LeStatus";
        QTest::newRow("FLeRegistro") << "FLeRegistro" << "LeRegistro";
        QTest::newRow("FBloqueiaBico") << "FBloqueiaBico" << "BloqueiaBico";
        QTest::newRow("FinalizaSerial") << "FinalizaSerial" << "FechaSerial";
    }
    void EntradaAusente()
    {
        QFETCH(QString, operacao);
        QFETCH(QString, entrada);
        TCompanyTec::DefineArquivoBiblioteca(CaminhoIncompleta());
        TCompanyTec driver;
        driver.PCarregaDllConcentrador();
        void* biblioteca = dlopen(QFile::encodeName(CaminhoIncompleta()).constData(), RTLD_NOW | RTLD_NOLOAD);
        QVERIFY(biblioteca);
        reinterpret_cast<std::int32_t (*)()>(dlsym(biblioteca, "TesteLimpa"))();

        const QMap<QString, std::function<void()>> operacoes{
            {"GetLeStatus", [&] { driver.GetLeStatus(); }},
            {"FLeRegistro", [&] { driver.FLeRegistro(1); }},
            {"FBloqueiaBico", [&] { driver.FBloqueiaBico("068"); }},
            {"FinalizaSerial", [&] { driver.FinalizaSerial(TUltimoEntregue::Confirma); }},
        };
        QCOMPARE(MensagemDaOperacao(operacoes.value(operacao)),
                 "A biblioteca do concentrador não tem a função " + entrada + ".");
        // Without the optional close that keeps the last fueling, a close that must keep it calls
        // nothing (the vendor's close would acknowledge it).
        driver.FinalizaSerial(TUltimoEntregue::Retem);
        // The entries that are there still work.
        driver.AcertaDataHora();
        char chamadas[256];
        reinterpret_cast<std::int32_t (*)(char*, std::int32_t)>(dlsym(biblioteca, "TesteChamadas"))(chamadas,
                                                                                                  sizeof chamadas);
        QCOMPARE(QString::fromLatin1(chamadas), QString("SetClock AUTO\n"));
    }
};

QTEST_GUILESS_MAIN(TesteCompanyTecCarga)
#include "TesteCompanyTecCarga.moc"
