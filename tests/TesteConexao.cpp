// The connection and statements against real station databases: embedded, and through a Firebird
// server of the test's own on 127.0.0.1 (host/port:path).
#include "Conexao.h"
#include "Erro.h"
#include "Posto.h"
#include "Regional.h"
#include "ProxyTcp.h"
#include "ServidorFirebird.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <thread>

class TesteConexao : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FPasta;
    std::unique_ptr<TServidorFirebird> FServidor;
    bool FServidorAtivo = false;
    int FBancos = 0;

    bool ViaServidor()
    {
        QFETCH_GLOBAL(bool, servidor);
        return servidor;
    }

    // A fresh demo station; its location as this run's connections reach it.
    QString NovoBanco(bool comDemo = true)
    {
        const QString caminho = FPasta.filePath(QStringLiteral("posto%1.fdb").arg(++FBancos));
        CriaBancoPosto(caminho, comDemo);
        return ViaServidor() ? FServidor->Endereco(caminho) : caminho;
    }

    void Prepara(TConexao& conexao, const QString& endereco)
    {
        conexao.DefineParametro(QStringLiteral("Database"), endereco);
        if (ViaServidor()) {
            conexao.DefineParametro(QStringLiteral("User_Name"), FServidor->Usuario());
            conexao.DefineParametro(QStringLiteral("Password"), FServidor->Senha());
        }
        conexao.Conecta();
    }

    static qint64 Conta(TConexao& conexao, const QString& sql)
    {
        TConsulta consulta(&conexao);
        consulta.DefineSQL(sql);
        consulta.Abre();
        return consulta.CampoInteiro(QStringLiteral("Quantos"));
    }

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<bool>("servidor");
        QTest::newRow("embutido") << false;
        QTest::newRow("servidor") << true;
    }

    void initTestCase()
    {
        QVERIFY(FPasta.isValid());
        FServidor = std::make_unique<TServidorFirebird>();
        FServidorAtivo = FServidor->Inicia();
        if (!FServidorAtivo)
            qWarning("%s", qPrintable(FServidor->Motivo()));
    }

    void init()
    {
        // The server is part of the machine's set-up: a server that cannot run is a failure.
        if (ViaServidor() && !FServidorAtivo)
            QFAIL(qPrintable(FServidor->Motivo()));
    }

    void cleanupTestCase() { FServidor.reset(); }

    // The list the connection starts with; names without regard to case, an empty value removes.
    void ListaDeParametros()
    {
        TConexao conexao;
        // No database and no login built in: an unconfigured connection opens nothing.
        for (const char* nome : {"database", "user_name", "password"})
            QCOMPARE(conexao.Parametro(QString::fromLatin1(nome)), QString());
        QVERIFY_THROWS_EXCEPTION(EErroBanco, conexao.Conecta());
        QVERIFY(!conexao.Conectado());
        QCOMPARE(conexao.Parametro(QStringLiteral("ROLENAME")), QStringLiteral("RoleName"));
        QCOMPARE(conexao.Parametro(QStringLiteral("SQLDialect")), QStringLiteral("1"));
        const qsizetype quantos = conexao.Parametros().size();
        conexao.DefineParametro(QStringLiteral("Database"), QStringLiteral("/x/z.fdb"));
        conexao.DefineParametro(QStringLiteral("DataBase"), QStringLiteral("/x/y.fdb"));
        QCOMPARE(conexao.Parametros().size(), quantos + 1);
        QVERIFY(conexao.Parametros().contains(QStringLiteral("Database=/x/y.fdb")));
        conexao.DefineParametro(QStringLiteral("Password"), QStringLiteral("x"));
        conexao.DefineParametro(QStringLiteral("PASSWORD"), QString());
        QCOMPARE(conexao.Parametros().size(), quantos + 1);
        QVERIFY(conexao.Parametros().filter(QStringLiteral("password"), Qt::CaseInsensitive).isEmpty());
    }

    // The role in the initial list does not exist in any station database; it must not matter.
    void ConectaComPapelInexistenteEFalhaComMensagemDoServidor()
    {
        TConexao conexao;
        Prepara(conexao, NovoBanco(false));
        QVERIFY(conexao.Conectado());
        conexao.Desconecta();
        QVERIFY(!conexao.Conectado());

        const QString ausente = FPasta.filePath(QStringLiteral("nao-existe.fdb"));
        TConexao outra;
        outra.DefineParametro(QStringLiteral("Database"), ViaServidor() ? FServidor->Endereco(ausente) : ausente);
        if (ViaServidor()) {
            outra.DefineParametro(QStringLiteral("User_Name"), FServidor->Usuario());
            outra.DefineParametro(QStringLiteral("Password"), FServidor->Senha());
        }
        try {
            outra.Conecta();
            QFAIL("connected to a missing database");
        } catch (const EErro& erro) {
            QVERIFY2(erro.Mensagem().contains(QStringLiteral("nao-existe.fdb")), qPrintable(erro.Mensagem()));
        }
        QVERIFY(!outra.Conectado());
    }

    // Write sequences nest on the one transaction: only the one that began it ends it.
    void TransacaoCompartilhada()
    {
        const QString banco = NovoBanco();
        TConexao a, b;
        Prepara(a, banco);
        Prepara(b, banco);
        const QString conta = QStringLiteral("Select Count(*) As Quantos From Produto Where CodProd = '99'");

        IniciaTransacao(a);
        IniciaTransacao(a); // joins the running one
        TConsulta insere(&a);
        insere.DefineSQL(QStringLiteral("Insert Into Produto (CodProd, Descricao) Values ('99', 'TESTE')"));
        QCOMPARE(insere.Executa(), 1);
        ConfirmaTransacao(a); // the joined sequence's part
        QVERIFY(a.EmTransacao());
        QCOMPARE(Conta(b, conta), 0); // not committed yet
        ConfirmaTransacao(a);
        QVERIFY(!a.EmTransacao());
        QCOMPARE(Conta(b, conta), 1);
        ConfirmaTransacao(a); // nothing to commit: no effect
        DesfazTransacao(a);

        IniciaTransacao(a);
        insere.DefineSQL(QStringLiteral("Delete From Produto Where CodProd = '99'"));
        QCOMPARE(insere.Executa(), 1);
        DesfazTransacao(a);
        QVERIFY(!a.EmTransacao());
        QCOMPARE(Conta(b, conta), 1);
    }

    // A sequence that joined another's transaction, however it ends, neither commits nor rolls
    // back what the other began: the owner's rollback takes both rows away, its commit keeps both.
    void SequenciaDentroDeOutra_data()
    {
        QTest::addColumn<QString>("fim");
        for (const char* fim : {"guarda confirmada", "guarda sem confirmar", "ConfirmaTransacao", "DesfazTransacao",
                                "Abandona"})
            QTest::newRow(fim) << QString::fromLatin1(fim);
    }

    void SequenciaDentroDeOutra()
    {
        QFETCH(QString, fim);
        const QString banco = NovoBanco();
        TConexao a, b;
        Prepara(a, banco);
        Prepara(b, banco);
        TConsulta insere(&a);
        insere.DefineSQL(QStringLiteral("Insert Into Produto (CodProd, Descricao) Values (:PCod, 'TESTE')"));
        const auto interna = [&] {
            const auto grava = [&] {
                insere.DefineTexto(QStringLiteral("PCod"), QStringLiteral("99"));
                insere.Executa();
            };
            if (fim.startsWith(QLatin1String("guarda"))) {
                TGuardaTransacao guarda(a);
                QVERIFY(!guarda.Propria());
                grava();
                if (fim == QLatin1String("guarda confirmada"))
                    guarda.Confirma();
                return;
            }
            IniciaTransacao(a);
            grava();
            if (fim == QLatin1String("ConfirmaTransacao"))
                ConfirmaTransacao(a);
            else if (fim == QLatin1String("DesfazTransacao"))
                DesfazTransacao(a);
            else
                a.Abandona();
        };
        const QString nossas = QStringLiteral("Select Count(*) As Quantos From Produto Where CodProd In ('98', '99')");
        for (const bool confirma : {false, true}) {
            {
                TGuardaTransacao externa(a);
                QVERIFY(externa.Propria());
                insere.DefineTexto(QStringLiteral("PCod"), QStringLiteral("98"));
                insere.Executa();
                interna();
                QVERIFY(a.EmTransacao());
                QCOMPARE(Conta(b, nossas), 0); // nothing committed
                QCOMPARE(Conta(a, nossas), 2); // nothing rolled back
                if (confirma)
                    externa.Confirma();
            }
            QVERIFY(!a.EmTransacao());
            QCOMPARE(Conta(b, nossas), confirma ? 2 : 0);
        }
    }

    // A fresh station reached through a relay to this run's server, with short limits.
    std::unique_ptr<TProxyTcp> Retransmite(TConexao& conexao, int limiteOperacao)
    {
        const QString caminho = FPasta.filePath(QStringLiteral("posto%1.fdb").arg(++FBancos));
        CriaBancoPosto(caminho, true);
        auto proxy = std::make_unique<TProxyTcp>(TProxyTcp::PortaDe(FServidor->Endereco(caminho)));
        if (!proxy->Inicia())
            return nullptr;
        conexao.DefineLimites(1, limiteOperacao);
        conexao.DefineParametro(QStringLiteral("Database"), proxy->Endereco(caminho));
        conexao.DefineParametro(QStringLiteral("User_Name"), FServidor->Usuario());
        conexao.DefineParametro(QStringLiteral("Password"), FServidor->Senha());
        conexao.Conecta();
        return proxy;
    }

    static TNaturezaErroBanco NaturezaDaFalha(TConexao& conexao, QString* mensagem = nullptr)
    {
        try {
            Conta(conexao, QStringLiteral("Select Count(*) As Quantos From Bombas"));
        } catch (const EErroBanco& erro) {
            if (mensagem)
                *mensagem = erro.Mensagem();
            return erro.Natureza();
        }
        return TNaturezaErroBanco::Recusa; // it answered: no failure
    }

    // A network path that stops answering, sockets open: the statement under way and every later
    // attempt to attach are given up at their limits, long before the relay would cut a client
    // still waiting; the connection comes back with the path.
    void CaminhoSemResposta()
    {
        if (!ViaServidor())
            QSKIP("expected: the embedded engine has no network path");
        TConexao conexao;
        const auto proxy = Retransmite(conexao, 1500);
        QVERIFY(proxy);
        const QString bombas = QStringLiteral("Select Count(*) As Quantos From Bombas");
        QCOMPARE(Conta(conexao, bombas), 9);
        proxy->Bloqueia();
        QString mensagem;
        QCOMPARE(NaturezaDaFalha(conexao, &mensagem), TNaturezaErroBanco::Conexao);
        QCOMPARE(mensagem, QStringLiteral("O banco de dados não respondeu em 1,5 s; a conexão foi encerrada."));
        QVERIFY(conexao.Perdida());
        for (int tentativa = 0; tentativa < 2; ++tentativa)
            QVERIFY_THROWS_EXCEPTION(EErroBanco, conexao.Reconecta());
        QVERIFY(!conexao.Conectado());
        QCOMPARE(proxy->Cortadas(), 0);

        proxy->Libera();
        conexao.Reconecta();
        QCOMPARE(Conta(conexao, bombas), 9);
        // A commit caught by the silence is bounded too (whether the server got it is in doubt), and
        // the transaction does not stay open.
        TConsulta muda(&conexao);
        {
            TGuardaTransacao transacao(conexao);
            muda.DefineSQL(QStringLiteral("Update Bombas Set statusbico = 'X'"));
            muda.Executa();
            proxy->Bloqueia();
            QVERIFY_THROWS_EXCEPTION(EErroBanco, transacao.Confirma());
        }
        QVERIFY(!conexao.EmTransacao());
        proxy->Libera();
        conexao.Reconecta();
        // A write caught by it leaves nothing behind once the server hears the client is gone.
        {
            TGuardaTransacao transacao(conexao);
            muda.DefineSQL(QStringLiteral("Update Bombas Set statusbico = 'Y'"));
            proxy->Bloqueia();
            QVERIFY_THROWS_EXCEPTION(EErroBanco, muda.Executa());
        }
        QVERIFY(!conexao.EmTransacao());
        proxy->Libera();
        conexao.Reconecta();
        QCOMPARE(Conta(conexao, QStringLiteral("Select Count(*) As Quantos From Bombas Where statusbico = 'Y'")), 0);
        QCOMPARE(proxy->Cortadas(), 0);
    }

    // A server that takes the connection and never answers the attach: the attach is given up at
    // the operation limit, long before the relay would cut a client still waiting; the retry is an
    // ordinary failure too; cancelling from another thread ends a waiting attach at once. The
    // attaches given up and answered later are detached by themselves: the server is left with
    // none of them, and the connection attaches normally once the server answers.
    void AnexoSemResposta()
    {
        if (!ViaServidor())
            QSKIP("expected: the embedded engine has no network path");
        TConexao conexao;
        const auto proxy = Retransmite(conexao, 1500);
        QVERIFY(proxy);
        conexao.Desconecta();
        TConexao direta;
        Prepara(direta, FServidor->Endereco(FPasta.filePath(QStringLiteral("posto%1.fdb").arg(FBancos))));
        const QString anexos = QStringLiteral("Select Count(*) As Quantos From MON$ATTACHMENTS "
                                              "Where MON$REMOTE_PROTOCOL Is Not Null");
        const qint64 antes = Conta(direta, anexos);

        proxy->SilenciaAposAceite();
        for (int tentativa = 0; tentativa < 2; ++tentativa) {
            try {
                conexao.Conecta();
                QFAIL("attached through a server that does not answer");
            } catch (const EErroBanco& erro) {
                QCOMPARE(erro.Mensagem(), QStringLiteral("O banco de dados não respondeu à conexão em 1,5 s."));
                QCOMPARE(erro.Natureza(), TNaturezaErroBanco::Conexao);
            }
            QVERIFY(!conexao.Conectado());
        }
        QCOMPARE(proxy->Cortadas(), 0);

        conexao.DefineLimites(1, 60000);
        std::thread outra([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            conexao.Cancela();
        });
        QString mensagem;
        try {
            conexao.Conecta();
        } catch (const EErroBanco& erro) {
            mensagem = erro.Mensagem();
        }
        outra.join();
        QCOMPARE(mensagem, QStringLiteral("Operação no banco de dados cancelada."));
        QCOMPARE(proxy->Cortadas(), 0);

        proxy->Libera(); // the three attaches given up now get their answer
        QTest::qWait(2000); // let them arrive: a count taken before would prove nothing
        QTRY_COMPARE_WITH_TIMEOUT(Conta(direta, anexos), antes, 30000);
        conexao.Conecta();
        QCOMPARE(Conta(conexao, QStringLiteral("Select Count(*) As Quantos From Bombas")), 9);
        QCOMPARE(Conta(direta, anexos), antes + 1);
    }

    // Another thread cancels the operation under way (a program ending while its engine waits for
    // a silent server); the limit alone would hold it for a minute. Embedded, the cancelled
    // attachment fails its next statement the same way.
    void CancelaDeOutraLinha()
    {
        TConexao conexao;
        std::unique_ptr<TProxyTcp> proxy;
        if (ViaServidor()) {
            proxy = Retransmite(conexao, 60000);
            QVERIFY(proxy);
            proxy->Bloqueia();
        } else {
            Prepara(conexao, NovoBanco());
        }
        std::thread outra([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            conexao.Cancela();
        });
        if (!ViaServidor())
            outra.join();
        QString mensagem;
        const TNaturezaErroBanco natureza = NaturezaDaFalha(conexao, &mensagem);
        if (outra.joinable())
            outra.join();
        QCOMPARE(natureza, TNaturezaErroBanco::Conexao);
        QCOMPARE(mensagem, QStringLiteral("Operação no banco de dados cancelada."));
        QVERIFY(conexao.Perdida());
        if (proxy) {
            QCOMPARE(proxy->Cortadas(), 0);
            proxy->Libera();
        }
        conexao.Reconecta();
        QCOMPARE(Conta(conexao, QStringLiteral("Select Count(*) As Quantos From Bombas")), 9);
    }

    // Outside a transaction each statement commits at once; an update that names its row by the
    // values it read reports 0 rows when the row changed meanwhile.
    void ComandoForaDeTransacaoEContagem()
    {
        const QString banco = NovoBanco();
        TConexao a, b;
        Prepara(a, banco);
        Prepara(b, banco);
        TConsulta atualiza(&a);
        atualiza.DefineSQL(QStringLiteral("Update Bombas Set PrecoVenda = :PNovo "
                                          "Where CodBico = :PCodBico And PrecoVenda = :PAntigo"));
        atualiza.DefineDouble(QStringLiteral("PNovo"), 6.29);
        atualiza.DefineTexto(QStringLiteral("pcodbico"), QStringLiteral("01"));
        atualiza.DefineDouble(QStringLiteral("PAntigo"), 6.19);
        QCOMPARE(atualiza.Executa(), 1);
        QVERIFY(!a.EmTransacao());
        TConsulta le(&b);
        le.DefineSQL(QStringLiteral("Select PrecoVenda From Bombas Where CodBico = '01'"));
        le.Abre();
        QCOMPARE(le.CampoDouble(QStringLiteral("precovenda")), 6.29);
        QCOMPARE(le.CampoTexto(QStringLiteral("PrecoVenda")), QStringLiteral("6,29"));
        QCOMPARE(atualiza.Executa(), 0);
    }

    void DataComoTexto_data()
    {
        QTest::addColumn<QString>("data");
        QTest::addColumn<int>("linhas");
        QTest::newRow("dia.mes.ano") << "09.12.2025" << 1;
        QTest::newRow("mes.dia.ano") << "12.09.2025" << 0;
        QTest::newRow("outro dia") << "10.12.2025" << 0;
    }

    void DataComoTexto()
    {
        QFETCH(QString, data);
        QFETCH(int, linhas);
        TConexao conexao;
        Prepara(conexao, NovoBanco(false));
        TConsulta insere(&conexao);
        insere.DefineSQL(QStringLiteral("Insert Into MvAbast (Data, Hora, CodBico, Id, Sequencia, CodFid) "
                                        "Values (:PData, :PHora, :PCodBico, :PId, :PSequencia, :PCodFid)"));
        insere.DefineData(QStringLiteral("PData"), QDate(2025, 12, 9));
        insere.DefineTexto(QStringLiteral("PHora"), QStringLiteral("14:03:27"));
        insere.DefineTexto(QStringLiteral("PCodBico"), QStringLiteral("03"));
        insere.DefineInteiro(QStringLiteral("PId"), 9999);
        insere.DefineInteiro(QStringLiteral("PSequencia"), 1);
        insere.DefineNuloTexto(QStringLiteral("PCodFid"));
        QCOMPARE(insere.Executa(), 1);

        TConsulta busca(&conexao);
        busca.DefineSQL(QStringLiteral("Select * From MvAbast Where Data = :PData And Hora = :PHora "
                                       "And CodBico = :PCodBico"));
        busca.DefineTexto(QStringLiteral("PData"), data);
        busca.DefineTexto(QStringLiteral("PHora"), QStringLiteral("14:03:27"));
        busca.DefineTexto(QStringLiteral("PCodBico"), QStringLiteral("03"));
        busca.Abre();
        QCOMPARE(busca.QuantidadeLinhas(), linhas);

        busca.DefineSQL(QStringLiteral("Select * From MvAbast Where ID = :PID And Sequencia = :PSequencia "
                                       "And Data = :PData"));
        busca.DefineInteiro(QStringLiteral("PID"), 9999);
        busca.DefineInteiro(QStringLiteral("PSequencia"), 1);
        busca.DefineTexto(QStringLiteral("PData"), data);
        busca.Abre();
        QCOMPARE(busca.QuantidadeLinhas(), linhas);
        if (linhas) {
            QCOMPARE(busca.CampoTexto(QStringLiteral("Data")), QStringLiteral("09/12/2025"));
            QCOMPARE(busca.Campo(QStringLiteral("Data")).toDate(), QDate(2025, 12, 9));
            QVERIFY(busca.CampoNulo(QStringLiteral("CodFid")));
            QCOMPARE(busca.CampoTexto(QStringLiteral("CodFid")), QString());
        }
    }

    // Text reaches the WIN1252 columns converted by the server, one byte per character, and comes
    // back unchanged; aliases read by name.
    void AcentosEmWin1252()
    {
        const QString descricao = QStringLiteral("ÓLEO DIESEL S-10 AÇÃO ÉÍÚÂ");
        TConexao conexao;
        Prepara(conexao, NovoBanco());
        TConsulta comando(&conexao);
        comando.DefineSQL(QStringLiteral("Update Produto Set Descricao = :PDescricao Where CodProd = '02'"));
        comando.DefineTexto(QStringLiteral("PDescricao"), descricao);
        QCOMPARE(comando.Executa(), 1);

        comando.DefineSQL(QStringLiteral(
            "Select p.Descricao As DescricaoProduto, Octet_Length(p.Descricao) As Bytes, t.CodTanque As Grade "
            "From Bombas b Join Tanques t On t.CodTanque = b.CodTanque Join Produto p On p.CodProd = t.CodProd "
            "Where b.CodConcentrador = :PConcentrador And p.Descricao = :PDescricao"));
        comando.DefineTexto(QStringLiteral("PConcentrador"), QStringLiteral("068"));
        comando.DefineTexto(QStringLiteral("PDescricao"), descricao);
        comando.Abre();
        QCOMPARE(comando.QuantidadeLinhas(), 1);
        QCOMPARE(comando.CampoTexto(QStringLiteral("descricaoproduto")), descricao);
        QCOMPARE(comando.CampoInteiro(QStringLiteral("Bytes")), descricao.size());
        QCOMPARE(comando.CampoTexto(QStringLiteral("GRADE")), QStringLiteral("3"));
    }

    void ColunaAusente()
    {
        TConexao conexao;
        Prepara(conexao, NovoBanco(false));
        TConsulta consulta(&conexao);
        consulta.DefineSQL(QStringLiteral("Select CodBico, Inexistente From Bombas"));
        try {
            consulta.Abre();
            QFAIL("a missing column was accepted");
        } catch (const EErro& erro) {
            QVERIFY2(erro.Mensagem().contains(QStringLiteral("Column unknown")), qPrintable(erro.Mensagem()));
            QVERIFY2(erro.Mensagem().contains(QStringLiteral("INEXISTENTE")), qPrintable(erro.Mensagem()));
        }
        QVERIFY(!consulta.Aberta());
        QVERIFY(!conexao.EmTransacao());

        consulta.DefineSQL(QStringLiteral("Select CodBico From Bombas"));
        consulta.Abre();
        try {
            consulta.CampoTexto(QStringLiteral("Descricao"));
            QFAIL("a column not selected was read");
        } catch (const EErro& erro) {
            QCOMPARE(erro.Mensagem(), QStringLiteral("Campo 'Descricao' não encontrado"));
        }
    }

    // A station whose tables use CHAR, NUMERIC/DECIMAL, SMALLINT, FLOAT and no indexes.
    void EsquemaComCharENumeric()
    {
        TConexao conexao;
        Prepara(conexao, NovoBanco(false));
        TConsulta comando(&conexao);
        comando.DefineSQL(QStringLiteral(
            "Create Table BombasChar (CodBico Char(5), CodConcentrador Char(3), Descricao Char(30), "
            "PrecoVenda Numeric(9,3), EncerranteIni Decimal(4,2), Lado SmallInt, Total Integer, "
            "Fator Float, Litros Double Precision, Grande Numeric(15,2), Momento Date, Nada Char(2))"));
        comando.Executa();
        comando.DefineSQL(QStringLiteral(
            "Insert Into BombasChar Values ('01', '068', :PDescricao, :PPreco, 12.5, -3, 2000000000, 0.5, "
            "1234.5678, :PGrande, '09.12.2025 14:03:27', Null)"));
        comando.DefineTexto(QStringLiteral("PDescricao"), QStringLiteral("ÓLEO"));
        comando.DefineTexto(QStringLiteral("PPreco"), QStringLiteral("5,499")); // regional text into a number
        comando.DefineDouble(QStringLiteral("PGrande"), 987654321.25);
        QCOMPARE(comando.Executa(), 1);

        comando.DefineSQL(QStringLiteral("Select * From BombasChar Where CodBico = :PCodBico And CodConcentrador = :PCod"));
        comando.DefineTexto(QStringLiteral("PCodBico"), QStringLiteral("01"));
        comando.DefineTexto(QStringLiteral("PCod"), QStringLiteral("068"));
        comando.Abre();
        QCOMPARE(comando.QuantidadeLinhas(), 1);
        QCOMPARE(comando.CampoTexto(QStringLiteral("CodBico")), QStringLiteral("01"));
        QCOMPARE(comando.CampoTexto(QStringLiteral("CodConcentrador")), QStringLiteral("068"));
        QCOMPARE(comando.CampoTexto(QStringLiteral("Descricao")), QStringLiteral("ÓLEO"));
        QCOMPARE(comando.CampoDouble(QStringLiteral("PrecoVenda")), 5.499);
        QCOMPARE(comando.CampoDouble(QStringLiteral("EncerranteIni")), 12.5);
        QCOMPARE(comando.CampoInteiro(QStringLiteral("Lado")), -3);
        QCOMPARE(comando.CampoInteiro(QStringLiteral("Total")), 2000000000);
        QCOMPARE(comando.CampoDouble(QStringLiteral("Fator")), 0.5);
        QCOMPARE(comando.CampoDouble(QStringLiteral("Litros")), 1234.5678);
        QCOMPARE(comando.CampoDouble(QStringLiteral("Grande")), 987654321.25);
        QCOMPARE(comando.Campo(QStringLiteral("Momento")).toDateTime(), QDateTime(QDate(2025, 12, 9), QTime(14, 3, 27)));
        QCOMPARE(comando.CampoTexto(QStringLiteral("Momento")), QStringLiteral("09/12/2025 14:03:27"));
        QVERIFY(comando.CampoNulo(QStringLiteral("Nada")));
        QCOMPARE(comando.CampoTexto(QStringLiteral("Nada")), QString());
        QCOMPARE(comando.CampoDouble(QStringLiteral("Nada")), 0.0);
    }

    // Parameter names inside quotes are text; one name may be used twice.
    void ParametrosNomeados()
    {
        TConexao conexao;
        Prepara(conexao, NovoBanco());
        TConsulta consulta(&conexao);
        consulta.DefineSQL(QStringLiteral("Select ':PNada' As Texto, Count(*) As Quantos From Bombas "
                                          "Where CodConcentrador = :PCod Or CodConcentrador = :pcod"));
        consulta.DefineTexto(QStringLiteral("PCOD"), QStringLiteral("004"));
        consulta.Abre();
        QCOMPARE(consulta.CampoTexto(QStringLiteral("Texto")), QStringLiteral(":PNada"));
        QCOMPARE(consulta.CampoInteiro(QStringLiteral("Quantos")), 1);

        consulta.DefineSQL(QStringLiteral("Select Count(*) As Quantos From Bombas Where CodBico = :PCodBico"));
        try {
            consulta.Abre();
            QFAIL("a parameter without value was accepted");
        } catch (const EErro& erro) {
            QVERIFY2(erro.Mensagem().contains(QStringLiteral("PCODBICO")), qPrintable(erro.Mensagem()));
        }
    }

    void LigaConexaoATodaAArvore()
    {
        TConexao conexao;
        QObject dono;
        auto* direta = new TConsulta(nullptr, &dono);
        auto* intermediario = new QObject(&dono);
        auto* neta = new TConsulta(nullptr, intermediario);
        LigaConexao(&dono, &conexao);
        QCOMPARE(direta->Conexao(), &conexao);
        QCOMPARE(neta->Conexao(), &conexao);
    }
};

QTEST_GUILESS_MAIN(TesteConexao)
#include "TesteConexao.moc"
