// Start-up connection: Caminho.ini, the alias fallback, the retry loop; and the demo station.
#include "Banco.h"
#include "Conexao.h"
#include "Erro.h"
#include "Mensagens.h"
#include "Posto.h"
#include "Relogio.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {
class TRelogioFalso : public TRelogio {
public:
    QString Pasta;
    mutable QList<int> Dormidas;
    std::function<void()> AoDormir;
    QString PastaAtual() const override { return Pasta; }
    void Dorme(int milissegundos) const override
    {
        Dormidas << milissegundos;
        if (AoDormir)
            AoDormir();
    }
};

class TRespondedorRoteiro : public TMensagens {
public:
    QList<TResposta> Respostas;
    QStringList Textos;
    QList<TTipoMensagem> Tipos;
    TResposta MostraMensagem(TTipoMensagem tipo, const QString& texto, TBotoes) override
    {
        Tipos << tipo;
        Textos << texto;
        return Respostas.isEmpty() ? TResposta::Nao : Respostas.takeFirst();
    }
};

const QString PerguntaRetentativa = QStringLiteral("Impossível conectar ao banco de dados. \rDeseja tentar novamente?");

void EscreveArquivo(const QString& caminho, const QByteArray& conteudo)
{
    QFile arquivo(caminho);
    QVERIFY(arquivo.open(QIODevice::WriteOnly));
    arquivo.write(conteudo);
}
} // namespace

class TesteBanco : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FPasta;
    TRelogioFalso FRelogio;
    TRespondedorRoteiro FRespondedor;

    QString Caminho(const QString& nome) const { return FPasta->filePath(nome); }

    // AbreBanco; the message it raised, empty when it opened the connection.
    QString Abre(TConexao& conexao, const TRegistroFalha& registraFalha = {})
    {
        try {
            AbreBanco(conexao, FRelogio, FRespondedor, DefinicaoDbTankora(), registraFalha);
        } catch (const EErro& e) {
            return e.Mensagem();
        }
        return QString();
    }

private slots:
    void init()
    {
        FPasta = std::make_unique<QTemporaryDir>();
        QVERIFY(FPasta->isValid());
        FRelogio = TRelogioFalso();
        FRelogio.Pasta = FPasta->path() + '/';
        FRespondedor = TRespondedorRoteiro();
        DefineLeituraAlias({});
    }

    void cleanup()
    {
        DefineLeituraAlias({});
    }

    void CaminhoIni_data()
    {
        QTest::addColumn<QString>("arquivo");
        QTest::addColumn<bool>("comSenha");
        QTest::newRow("Caminho.ini") << "Caminho.ini" << true;
        QTest::newRow("CAMINHO.INI sem senha") << "CAMINHO.INI" << false;
        QTest::newRow("caminho.ini") << "caminho.ini" << true;
    }

    // The three values of the file, and nothing of the alias, make the connection.
    void CaminhoIni()
    {
        QFETCH(QString, arquivo);
        QFETCH(bool, comSenha);
        const QString banco = Caminho(QStringLiteral("posto.fdb"));
        CriaBancoPosto(banco, false);
        QByteArray ini = "[DATABASEESTOQUE]\r\nCAMINHO=" + banco.toUtf8() + "\r\nUSUARIO=SYSDBA\r\n";
        if (comSenha)
            ini += "SENHA=segredo\r\n";
        EscreveArquivo(Caminho(arquivo), ini);
        bool aliasLido = false;
        DefineLeituraAlias([&](const QString&) {
            aliasLido = true;
            return QStringList{QStringLiteral("SERVER NAME=/outro/Tankora.gdb")};
        });

        TConexao conexao;
        QCOMPARE(Abre(conexao), QString());
        QVERIFY(conexao.Conectado());
        QVERIFY(!aliasLido);
        QVERIFY(FRespondedor.Textos.isEmpty());
        QVERIFY(FRelogio.Dormidas.isEmpty());
        QCOMPARE(conexao.Parametros().filter(QRegularExpression(QStringLiteral("^database="),
                                                                QRegularExpression::CaseInsensitiveOption)),
                 QStringList{QStringLiteral("DataBase=") + banco}); // one line, named as first written
        QCOMPARE(conexao.Parametro(QStringLiteral("User_Name")), QStringLiteral("SYSDBA"));
        QCOMPARE(conexao.Parametro(QStringLiteral("Password")), comSenha ? QStringLiteral("segredo") : QString());
        QCOMPARE(conexao.Parametros().filter(QStringLiteral("password"), Qt::CaseInsensitive).isEmpty(), !comSenha);
    }

    void CaminhoIniSemBanco_data()
    {
        QTest::addColumn<QByteArray>("conteudo"); // empty with `ilegivel`
        QTest::addColumn<bool>("ilegivel");
        QTest::addColumn<QString>("defeito");
        QTest::newRow("vazio") << QByteArray() << false << "O arquivo Caminho.ini está vazio.";
        QTest::newRow("só linhas em branco") << QByteArray(" \r\n\r\n") << false << "O arquivo Caminho.ini está vazio.";
        const QString semSecao = QStringLiteral("O arquivo Caminho.ini não tem a seção [DATABASEESTOQUE] com a chave CAMINHO.");
        QTest::newRow("sem a seção") << QByteArray("[OUTRA]\r\nCAMINHO=/dados/posto.fdb\r\n") << false << semSecao;
        QTest::newRow("chaves sem seção") << QByteArray("CAMINHO=/dados/posto.fdb\r\n") << false << semSecao;
        QTest::newRow("sem CAMINHO") << QByteArray("[DATABASEESTOQUE]\r\nUSUARIO=SYSDBA\r\n") << false << semSecao;
        QTest::newRow("ilegível") << QByteArray() << true << "O arquivo Caminho.ini não pôde ser lido (";
    }

    // A Caminho.ini that names no database stops the start with a message naming the file (the
    // failure path shows and logs it), and nothing is attached: neither an empty location nor
    // another database, not even one that is there, nor later by a statement.
    void CaminhoIniSemBanco()
    {
        QFETCH(QByteArray, conteudo);
        QFETCH(bool, ilegivel);
        QFETCH(QString, defeito);
        if (ilegivel) // a regular file every read of which fails, whoever runs the test
            QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), Caminho(QStringLiteral("Caminho.ini"))));
        else
            EscreveArquivo(Caminho(QStringLiteral("Caminho.ini")), conteudo);
        CriaBancoPosto(Caminho(QStringLiteral("Tankora.gdb")), true);
        QDir::setCurrent(FPasta->path()); // where the old fallback looked
        QStringList linhas;
        TConexao conexao;
        const QString erro = Abre(conexao, [&](const QString& linha) { linhas << linha; });
        QVERIFY(!conexao.Conectado());
        QVERIFY(FRespondedor.Textos.isEmpty());
        const QString prefixo = QStringLiteral("Impossível conectar ao banco de dados pelo seguinte motivo: \r");
        QVERIFY2(erro.startsWith(prefixo + defeito), qPrintable(erro));
        QVERIFY(linhas.isEmpty());
        QCOMPARE(conexao.Parametro(QStringLiteral("Database")), QString());
        QCOMPARE(conexao.Parametro(QStringLiteral("User_Name")), QString());
        QCOMPARE(conexao.Parametro(QStringLiteral("Password")), QString());
        TConsulta consulta(&conexao);
        consulta.DefineSQL(QStringLiteral("Select SequenciaAbast From ParaPosto"));
        QVERIFY_THROWS_EXCEPTION(EErroBanco, consulta.Abre());
        QVERIFY(!conexao.Conectado());
        QDir::setCurrent(QCoreApplication::applicationDirPath());
    }

    void SemCaminhoIni_data()
    {
        QTest::addColumn<QStringList>("alias");
        QTest::addColumn<QString>("banco");
        QTest::addColumn<QString>("usuario");
        QTest::addColumn<QString>("senha");
        QTest::newRow("sem alias") << QStringList() << "Tankora.gdb" << "" << "";
        QTest::newRow("alias com servidor")
            << QStringList{"SERVER NAME=servidor:/dados/posto.gdb", "USER NAME=X", "PASSWORD=chave9"}
            << "servidor:/dados/posto.gdb" << "X" << "chave9";
        QTest::newRow("alias sem servidor") << QStringList{"SERVER NAME=  ", "PATH=/dados/tankora"} << "Tankora.gdb"
                                            << "" << "";
    }

    // Without the file: alias or fallback, with the alias's login and none built in; the attempt
    // fails here and the operator gives up at the first question, which stops the start.
    void SemCaminhoIni()
    {
        QFETCH(QStringList, alias);
        QFETCH(QString, banco);
        QFETCH(QString, usuario);
        QFETCH(QString, senha);
        QStringList pedidos;
        DefineLeituraAlias([&](const QString& nome) {
            pedidos << nome;
            return alias;
        });
        TConexao conexao;
        const QString erro = Abre(conexao);
        QVERIFY(!conexao.Conectado());
        QVERIFY(pedidos.contains(QStringLiteral("Tankora")));
        QCOMPARE(conexao.Parametro(QStringLiteral("Database")), banco);
        QCOMPARE(conexao.Parametro(QStringLiteral("User_Name")), usuario);
        QCOMPARE(conexao.Parametro(QStringLiteral("Password")), senha);
        QCOMPARE(FRespondedor.Textos, QStringList{PerguntaRetentativa});
        QVERIFY2(erro.contains(banco + " padrão (não há Caminho.ini) não pôde ser aberto: "), qPrintable(erro));
        if (!senha.isEmpty())
            QVERIFY(!erro.contains(senha));
    }

    void ExtraiCaminhoAlias_data()
    {
        QTest::addColumn<QStringList>("alias");
        QTest::addColumn<QString>("diretorio");
        QTest::newRow("pasta antes do nome") << QStringList{"SERVER NAME=C:\\DADOS\\TANKORA.GDB", "USER NAME=SYSDBA"}
                                             << "C:\\DADOS\\";
        QTest::newRow("minúsculas, brancos") << QStringList{"SERVER NAME= /dados/tankora.gdb"} << "/dados/";
        QTest::newRow("nome só em outra linha") << QStringList{"SERVER NAME=/x/", "PATH=Tankora"} << "/x/";
        QTest::newRow("sem o nome") << QStringList{"SERVER NAME=/x/posto.gdb"} << "";
        QTest::newRow("nome logo no início") << QStringList{"TANKORA=1"} << "";
        QTest::newRow("lista vazia") << QStringList() << "";
    }

    void ExtraiCaminhoAlias()
    {
        QFETCH(QStringList, alias);
        QFETCH(QString, diretorio);
        DefineLeituraAlias([&](const QString&) { return alias; });
        QString extraido = QStringLiteral("lixo");
        ::ExtraiCaminhoAlias(QStringLiteral("Tankora"), 13, extraido);
        QCOMPARE(extraido, diretorio);
    }

    void FalhaAoLerAlias()
    {
        DefineLeituraAlias([](const QString&) -> QStringList { throw EErro(QStringLiteral("BDE ausente")); });
        TConexao conexao;
        QCOMPARE(Abre(conexao), QStringLiteral("Impossível conectar ao banco de dados pelo seguinte motivo: \rBDE ausente"));
        QVERIFY(!conexao.Conectado());
        QVERIFY(FRelogio.Dormidas.isEmpty());
        QVERIFY(FRespondedor.Textos.isEmpty());
    }

    void Retentativa_data()
    {
        QTest::addColumn<int>("criaNaDormida"); // the database appears during this pause (0: never)
        QTest::addColumn<QList<TResposta>>("respostas");
        QTest::addColumn<int>("dormidas");
        QTest::addColumn<int>("perguntas");
        QTest::newRow("segunda tentativa sem pergunta") << 1 << QList<TResposta>{} << 1 << 0;
        QTest::newRow("Não desiste calado") << 0 << QList<TResposta>{TResposta::Nao} << 1 << 1;
        QTest::newRow("Sim, Não") << 0 << QList<TResposta>{TResposta::Sim, TResposta::Nao} << 2 << 2;
        QTest::newRow("Sim e conecta") << 2 << QList<TResposta>{TResposta::Sim} << 2 << 1;
    }

    void Retentativa()
    {
        QFETCH(int, criaNaDormida);
        QFETCH(QList<TResposta>, respostas);
        QFETCH(int, dormidas);
        QFETCH(int, perguntas);
        const QString banco = Caminho(QStringLiteral("posto.fdb"));
        EscreveArquivo(Caminho(QStringLiteral("Caminho.ini")),
                       "[DATABASEESTOQUE]\nCAMINHO=" + banco.toUtf8() + "\nUSUARIO=SYSDBA\n");
        FRespondedor.Respostas = respostas;
        FRelogio.AoDormir = [&] {
            if (FRelogio.Dormidas.size() == criaNaDormida)
                CriaBancoPosto(banco, false);
        };
        TConexao conexao;
        const QString erro = Abre(conexao);
        QCOMPARE(conexao.Conectado(), criaNaDormida > 0);
        QCOMPARE(erro.isEmpty(), criaNaDormida > 0); // giving up stops the start
        if (!erro.isEmpty())
            QVERIFY2(erro.contains(banco + " indicado em Caminho.ini não pôde ser aberto: "), qPrintable(erro));
        QCOMPARE(FRelogio.Dormidas, QList<int>(dormidas, 7000));
        QCOMPARE(FRespondedor.Textos, QStringList(perguntas, PerguntaRetentativa));
        QVERIFY(std::all_of(FRespondedor.Tipos.cbegin(), FRespondedor.Tipos.cend(),
                            [](TTipoMensagem t) { return t == TTipoMensagem::Informacao; }));
    }

    // Each failed attempt leaves one line with where the database is and the server's own reason,
    // never the password; the question keeps its text.
    void FalhaDeConexaoVaiAoLogSemSenha()
    {
        const QString banco = Caminho(QStringLiteral("nao-existe.fdb"));
        EscreveArquivo(Caminho(QStringLiteral("Caminho.ini")),
                       "[DATABASEESTOQUE]\nCAMINHO=" + banco.toUtf8() + "\nUSUARIO=SYSDBA\nSENHA=segredo123\n");
        FRespondedor.Respostas = {TResposta::Sim, TResposta::Nao};
        QStringList linhas;
        TConexao conexao;
        QVERIFY(!Abre(conexao, [&](const QString& linha) { linhas << linha; }).contains("segredo123"));
        QVERIFY(!conexao.Conectado());
        QCOMPARE(FRespondedor.Textos, QStringList(2, PerguntaRetentativa));
        QCOMPARE(linhas.size(), 3);
        for (const QString& linha : linhas) {
            QVERIFY2(linha.startsWith("Não foi possível conectar ao banco de dados " + banco + " (usuário SYSDBA): "),
                     qPrintable(linha));
            QVERIFY2(linha.contains("nao-existe.fdb\"") || linha.contains("No such file"), qPrintable(linha));
            QVERIFY(!linha.contains("segredo123"));
            QVERIFY(!linha.contains('\n'));
        }
    }

    void PostoDemo_data()
    {
        QTest::addColumn<QString>("concentrador");
        QTest::addColumn<QString>("bico");
        QTest::addColumn<QString>("grade");
        QTest::addColumn<QString>("produto");
        QTest::newRow("04") << "004" << "01" << "1/2" << "GASOLINA COMUM";
        QTest::newRow("05") << "005" << "02" << "1/2" << "GASOLINA COMUM";
        QTest::newRow("44") << "068" << "03" << "3" << "ÓLEO DIESEL S-10";
        QTest::newRow("45") << "069" << "04" << "3" << "ÓLEO DIESEL S-10";
        QTest::newRow("84") << "132" << "05" << "4" << "ETANOL HIDRATADO";
        QTest::newRow("C4") << "196" << "07" << "5" << "GASOLINA ADITIVADA";
    }

    void PostoDemo()
    {
        QFETCH(QString, concentrador);
        QFETCH(QString, bico);
        QFETCH(QString, grade);
        QFETCH(QString, produto);
        const QString banco = Caminho(QStringLiteral("demo.fdb"));
        CriaBancoPosto(banco, true);
        TConexao conexao;
        conexao.DefineParametro(QStringLiteral("Database"), banco);
        TConsulta consulta(&conexao);
        consulta.DefineSQL(QStringLiteral(
            "Select b.CodBico, b.Descricao, t.CodTanque As Grade, p.CodProd, p.Descricao As DescricaoProduto "
            "From Bombas b, Tanques t, Produto p "
            "Where b.CodTanque = t.CodTanque And t.CodProd = p.CodProd And b.CodConcentrador = :PConcentrador"));
        consulta.DefineTexto(QStringLiteral("PConcentrador"), concentrador);
        consulta.Abre();
        QCOMPARE(consulta.QuantidadeLinhas(), 1);
        QCOMPARE(consulta.CampoTexto(QStringLiteral("CodBico")), bico);
        QCOMPARE(consulta.CampoTexto(QStringLiteral("Grade")), grade);
        QCOMPARE(consulta.CampoTexto(QStringLiteral("DescricaoProduto")), produto);

        consulta.DefineSQL(QStringLiteral("Select UsaConcentrador, PortaConc, AcertaDataConc, visualizastatusbomba, "
                                          "TEMPOLECONCENTRADOR, SequenciaAbast, ImpreDescBico From ParaPosto"));
        consulta.Abre();
        QCOMPARE(consulta.QuantidadeLinhas(), 1);
        QCOMPARE(consulta.CampoTexto(QStringLiteral("usaconcentrador")), QStringLiteral("S"));
        QCOMPARE(consulta.CampoTexto(QStringLiteral("PortaConc")), QStringLiteral("COM1"));
        QCOMPARE(consulta.CampoInteiro(QStringLiteral("Tempoleconcentrador")), 1);

        consulta.DefineSQL(QStringLiteral(
            "Select Count(*) As Quantos From MvTurno m Left Join TURNOS t On t.CODTURNO = m.CodTurno "
            "Left Join VENDEND v On v.CODVENDEDOR = m.CODVENDEDOR Where m.STATUS = :PSTATUS And t.DESCRICAO Is Not Null "
            "And v.NOME Is Not Null"));
        consulta.DefineTexto(QStringLiteral("PSTATUS"), QStringLiteral("N"));
        consulta.Abre();
        QCOMPARE(consulta.CampoInteiro(QStringLiteral("Quantos")), 1);

        consulta.DefineSQL(QStringLiteral("Select Count(*) As Quantos From Bombas "
                                          "Where CodConcentrador Is Null Or CodConcentrador = ''"));
        consulta.Abre();
        QCOMPARE(consulta.CampoInteiro(QStringLiteral("Quantos")), 1);

        try {
            CriaBancoPosto(banco, true);
            QFAIL("an existing station database was overwritten");
        } catch (const EErro&) {
        }
    }

    // The same concentrator fueling (ID, sequence, date) is stored once.
    void ChaveUnicaDoAbastecimento()
    {
        const QString banco = Caminho(QStringLiteral("chave.fdb"));
        CriaBancoPosto(banco, false);
        TConexao conexao;
        conexao.DefineParametro(QStringLiteral("Database"), banco);
        TConsulta insere(&conexao);
        insere.DefineSQL(QStringLiteral("Insert Into MvAbast (Data, Hora, CodBico, Id, Sequencia) "
                                        "Values (:PData, :PHora, '01', 17, 1)"));
        insere.DefineData(QStringLiteral("PData"), QDate(2025, 12, 9));
        insere.DefineTexto(QStringLiteral("PHora"), QStringLiteral("10:00:00"));
        QCOMPARE(insere.Executa(), 1);
        insere.DefineData(QStringLiteral("PData"), QDate(2025, 12, 9));
        insere.DefineTexto(QStringLiteral("PHora"), QStringLiteral("10:00:01"));
        try {
            insere.Executa();
            QFAIL("a second row for the same fueling was stored");
        } catch (const EErro& erro) {
            QVERIFY2(erro.Mensagem().contains(QStringLiteral("UNIQUE KEY")), qPrintable(erro.Mensagem()));
        }
    }

    // A statement may outlive the connection it was prepared on: it is left without one, and a
    // new connection (even at the same address) prepares it afresh.
    void ComandoSobreviveAConexao()
    {
        const QString banco = Caminho(QStringLiteral("comando.fdb"));
        CriaBancoPosto(banco, true);
        auto consulta = std::make_unique<TConsulta>();
        consulta->DefineSQL(QStringLiteral("Select Count(*) As Quantos From Bombas"));
        for (int vez = 0; vez < 2; ++vez) {
            auto conexao = std::make_unique<TConexao>();
            conexao->DefineParametro(QStringLiteral("Database"), banco);
            consulta->DefineConexao(conexao.get());
            consulta->Abre();
            QVERIFY(consulta->CampoInteiro(QStringLiteral("Quantos")) > 0);
            conexao.reset();
            QCOMPARE(consulta->Conexao(), nullptr);
        }
        consulta.reset();
    }

    // A transaction whose connection died is let go by its guard without a second error.
    void GuardaDeTransacaoComConexaoPerdida()
    {
        const QString banco = Caminho(QStringLiteral("guarda.fdb"));
        CriaBancoPosto(banco, true);
        TConexao conexao;
        conexao.DefineParametro(QStringLiteral("Database"), banco);
        TConexao outra;
        outra.DefineParametro(QStringLiteral("Database"), banco);
        {
            TGuardaTransacao guarda(conexao);
            TConsulta atualiza(&conexao);
            atualiza.DefineSQL(QStringLiteral("Update Bombas Set statusbico = 'L'"));
            atualiza.Executa();
            TConsulta derruba(&outra);
            derruba.DefineSQL(
                QStringLiteral("Delete From MON$ATTACHMENTS Where MON$ATTACHMENT_ID <> Current_Connection"));
            derruba.Executa();
            QVERIFY_THROWS_EXCEPTION(EErro, guarda.Confirma());
        }
        QVERIFY(!conexao.EmTransacao());
    }
};

QTEST_GUILESS_MAIN(TesteBanco)
#include "TesteBanco.moc"
