#include "PostoTeste.h"
#include "ServicoAlteraPreco.h"

namespace {

const QString kPrecos = "Select CodBico, PrecoVenda From Bombas Order By CodBico";


} // namespace

class TesteServicoAlteraPreco : public QObject {
    Q_OBJECT
private slots:
    void ListaOsBicosDoConcentrador()
    {
        TPostoTeste posto;
        posto.Executa("Update Bombas Set CodConcentrador = '' Where CodBico = '02'");
        posto.Executa("Update Bombas Set PrecoVenda = Null Where CodBico = '03'");
        posto.IniciaMotor();
        TServicoAlteraPreco servico(*posto.Contexto);
        QStringList linhas;
        for (const TLinhaPreco& l : servico.CarregaPrecos())
            linhas << QStringList{l.CodBico, l.Descricao, l.Preco, l.CodConcentrador}.join('|');
        // Without a code (09, and 02 now) a nozzle is not listed; a NULL price shows as zero.
        QCOMPARE(linhas, QStringList({"01|BICO 01 GASOLINA COMUM|6,190|004", "03|BICO 03 ÓLEO DIESEL S-10|0,000|068",
                                      "04|BICO 04 ÓLEO DIESEL S-10|5,990|069", "05|BICO 05 ETANOL HIDRATADO|4,290|132",
                                      "06|BICO 06 ETANOL HIDRATADO|4,290|133",
                                      "07|BICO 07 GASOLINA ADITIVADA|6,490|196",
                                      "08|BICO 08 GASOLINA ADITIVADA|6,490|197"}));
    }

    void ValidaPreco_data()
    {
        QTest::addColumn<QString>("digitado");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<int>("validacao");
        const int valido = int(TValidacaoPreco::Valido);
        const int branco = int(TValidacaoPreco::EmBranco);
        const int naoPositivo = int(TValidacaoPreco::NaoPositivo);
        const int invalido = int(TValidacaoPreco::Invalido);
        QTest::newRow("2,5") << "2,5" << "2,500" << valido;
        QTest::newRow("brancos em volta") << " \t6,1999 " << "6,200" << valido;
        QTest::newRow("arredonda a zero") << "0,0004" << "0,000" << naoPositivo;
        QTest::newRow("zero") << "0" << "0,000" << naoPositivo;
        QTest::newRow("negativo") << "-1" << "-1,000" << naoPositivo;
        QTest::newRow("vazio") << "" << "" << branco;
        QTest::newRow("so brancos") << " \r\n" << " \r\n" << branco;
        QTest::newRow("letras") << "abc" << "abc" << invalido;
        QTest::newRow("ponto decimal") << "2.5" << "2.5" << invalido;
        QTest::newRow("separador de milhar") << "1.234,5" << "1.234,5" << invalido;
        // What a pump shows: four digits before the separator, three after.
        QTest::newRow("maior da bomba") << "9999,999" << "9999,999" << valido;
        QTest::newRow("acima da bomba") << "12345,678" << "12345,678" << invalido;
        QTest::newRow("arredonda acima") << "9999,9996" << "10000,000" << invalido;
        QTest::newRow("enorme") << "99999999999999" << "99999999999999,000" << invalido;
        QTest::newRow("expoente") << "1e3" << "1e3" << invalido;
        QTest::newRow("expoente maiusculo") << "2,5E1" << "2,5E1" << invalido;
    }
    void ValidaPreco()
    {
        QFETCH(QString, digitado);
        QFETCH(QString, texto);
        QFETCH(int, validacao);
        QCOMPARE(int(TServicoAlteraPreco::ValidaPreco(digitado, TConfiguracaoRegional::PtBr())), validacao);
        QCOMPARE(digitado, texto);
    }

    void CodigoHexadecimal_data()
    {
        QTest::addColumn<QString>("codigo");
        QTest::addColumn<QString>("hexadecimal");
        QTest::newRow("068") << "068" << "44";
        QTest::newRow("004") << "004" << "04";
        QTest::newRow("196") << "196" << "C4";
        QTest::newRow("maior que FF") << "300" << "12C";
    }
    void CodigoHexadecimal()
    {
        QFETCH(QString, codigo);
        QFETCH(QString, hexadecimal);
        QCOMPARE(TServicoAlteraPreco::CodigoHexadecimal(codigo), hexadecimal);
        QVERIFY_THROWS_EXCEPTION(EErro, TServicoAlteraPreco::CodigoHexadecimal("06A"));
    }

    void GravaEEnviaTodasAsLinhas()
    {
        TPostoTeste posto;
        posto.IniciaMotor().Ciclo().ParaLeitura();
        TServicoAlteraPreco servico(*posto.Contexto);
        QList<TLinhaPreco> linhas = servico.CarregaPrecos().mid(1, 3); // 02, 03, 04
        linhas[1].Preco = "7,500";
        const TResultadoPrecos resultado = servico.GravaPrecos(linhas);
        QVERIFY(!resultado.Falhou());
        QCOMPARE(resultado.Gravados, QStringList({"02", "03", "04"}));
        QCOMPARE(resultado.Alterados, QStringList("03"));
        // Every row, changed or not, in hexadecimal with mode 3.
        QCOMPARE(posto.Falso->TextosPrecos(), QStringList({"05 3 6.19", "44 3 7.5", "45 3 5.99"}));
        QCOMPARE(posto.Linhas(kPrecos, {"CodBico", "PrecoVenda"}).mid(1, 3),
                 QStringList({"02|6,19", "03|7,5", "04|5,99"}));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    void EnvioRecusadoNaoGravaESegue()
    {
        // A price the pump refuses (or never answers) is not written: Bombas keeps the price the
        // pump still shows; the other rows go on. One message names them all by nozzle.
        TPostoTeste posto;
        posto.IniciaMotor().Ciclo().ParaLeitura();
        posto.Falso->PrecosRecusados << "44";
        TServicoAlteraPreco servico(*posto.Contexto);
        QList<TLinhaPreco> linhas = servico.CarregaPrecos().mid(1, 3);
        linhas[1].Preco = "7,500";
        linhas[2].Preco = "6,000";
        linhas << TLinhaPreco{"05", "", "4,300", "13X", "4,290"}; // a code that is no number
        const TResultadoPrecos resultado = servico.GravaPrecos(linhas);
        QCOMPARE(resultado.SemResposta, QStringList({"03", "05"}));
        QVERIFY(resultado.ErroBanco.isEmpty() && resultado.SoNaBomba.isEmpty());
        QCOMPARE(resultado.Gravados, QStringList({"02", "04"}));
        QCOMPARE(TServicoAlteraPreco::MensagemFalha(resultado),
                 QString("Erro ao atualizar o preco na Bomba: 03, 05; o banco ficou com o preço antigo desses bicos.\r"
                         "Com o preço novo na bomba e no banco: 04."));
        QCOMPARE(posto.Falso->TextosPrecos(), QStringList({"05 3 6.19", "44 3 7.5", "45 3 6"}));
        QCOMPARE(posto.Linhas(kPrecos, {"CodBico", "PrecoVenda"}).mid(1, 4),
                 QStringList({"02|6,19", "03|5,99", "04|6", "05|4,29"}));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
        QVERIFY(posto.Respondedor.Caixas.isEmpty()); // the engine opens no box
    }

    void FalhaNoBancoParaAli_data()
    {
        QTest::addColumn<QString>("preparo");
        QTest::addColumn<QString>("erro");
        QTest::addColumn<QStringList>("bombas");
        QTest::addColumn<QString>("resto");
        // The database refuses nozzle 03: 01 and 02 are done everywhere, 03 is not sent, and the
        // rows after it are left alone.
        const QString ate02 = "\rCom o preço novo na bomba e no banco: 01, 02.";
        QTest::newRow("gatilho recusa") << "Create Trigger RECUSA_PRECO For Bombas Before Update As Begin "
                                           "If (New.CodBico = '03') Then Exception ERRO_PRECO; End"
                                        << "preço recusado" << QStringList({"04", "05"}) << ate02;
        QTest::newRow("bico apagado") << "Delete From Bombas Where CodBico = '03'"
                                      << "O bico 03 não foi encontrado na tabela Bombas." << QStringList({"04", "05"})
                                      << ate02;
        // The commit fails after the pump took the price: that pump is named apart.
        QTest::newRow("na confirmacao") << "Create Trigger RECUSA_COMMIT On Transaction Commit As Begin "
                                           "If (Exists(Select 1 From Bombas Where PrecoVenda = 9.99)) Then "
                                           "Exception ERRO_PRECO; End"
                                        << "preço recusado" << QStringList("04")
                                        << "\rO preço novo já está na bomba dos bicos: 01; o banco ficou com o preço "
                                           "antigo.\rNenhum bico ficou com o preço novo.";
    }
    void FalhaNoBancoParaAli()
    {
        QFETCH(QString, preparo);
        QFETCH(QString, erro);
        QFETCH(QStringList, bombas);
        QFETCH(QString, resto);
        TPostoTeste posto;
        posto.Executa("Create Exception ERRO_PRECO 'preço recusado'");
        // A trigger is there before the engine attaches; a row goes after the grid was filled.
        const bool gatilho = preparo.startsWith("Create");
        if (gatilho)
            posto.Executa(preparo);
        TCicloLeitura& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        TServicoAlteraPreco servico(*posto.Contexto);
        QList<TLinhaPreco> linhas = servico.CarregaPrecos();
        for (TLinhaPreco& l : linhas)
            l.Preco = "9,990";
        if (!gatilho)
            posto.Executa(preparo);
        const TResultadoPrecos resultado = servico.GravaPrecos(linhas);
        QVERIFY2(resultado.ErroBanco.contains(erro), qPrintable(resultado.ErroBanco));
        const QString texto = TServicoAlteraPreco::MensagemFalha(resultado);
        QVERIFY2(texto.startsWith("Erro ao gravar os preços no banco: ") && texto.endsWith(resto), qPrintable(texto));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
        QStringList enviados;
        for (const QString& b : bombas)
            enviados << b + " 3 9.99";
        QCOMPARE(posto.Falso->TextosPrecos(), enviados);
        // The next tick commits nothing of it: nothing was left to commit.
        posto.Falso->Fila << Abastecimento("04", 10, 58990, 589900, 37);
        ciclo.LeConcentradorTimer();
        QCOMPARE(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("37"));
        QCOMPARE(posto.Linhas("Select CodBico From Bombas Where PrecoVenda = 9.99 Order By CodBico", {"CodBico"}),
                 resultado.Gravados);
        QCOMPARE(resultado.Gravados, QStringList({"01", "02"}).mid(0, bombas.size() == 2 ? 2 : 0));
    }
};

QTEST_GUILESS_MAIN(TesteServicoAlteraPreco)
#include "TesteServicoAlteraPreco.moc"
