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
        QVERIFY(resultado.Recusados.isEmpty() && resultado.ErroBanco.isEmpty());
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
        // pump still shows; the other rows go on.
        TPostoTeste posto;
        posto.IniciaMotor().Ciclo().ParaLeitura();
        posto.Falso->PrecosRecusados << "44";
        TServicoAlteraPreco servico(*posto.Contexto);
        QList<TLinhaPreco> linhas = servico.CarregaPrecos().mid(1, 3);
        linhas[1].Preco = "7,500";
        linhas[2].Preco = "6,000";
        linhas << TLinhaPreco{"05", "", "4,300", "13X"}; // a code that is no number
        const TResultadoPrecos resultado = servico.GravaPrecos(linhas);
        QCOMPARE(resultado.Recusados, QStringList({"068", "13X"}));
        QVERIFY(resultado.ErroBanco.isEmpty());
        QCOMPARE(TServicoAlteraPreco::MensagemRecusado("068"), QString("Erro ao atualizar o preco na Bomba: 068"));
        QCOMPARE(posto.Falso->TextosPrecos(), QStringList({"05 3 6.19", "44 3 7.5", "45 3 6"}));
        QCOMPARE(posto.Linhas(kPrecos, {"CodBico", "PrecoVenda"}).mid(1, 4),
                 QStringList({"02|6,19", "03|5,99", "04|6", "05|4,29"}));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
        QVERIFY(posto.Respondedor.Caixas.isEmpty()); // the engine opens no box
    }

    void FalhaNoBancoDesfazTudo_data()
    {
        QTest::addColumn<QString>("preparo");
        QTest::addColumn<QString>("mensagem");
        QTest::newRow("gatilho recusa") << "Create Trigger RECUSA_PRECO For Bombas Before Update As Begin "
                                           "If (New.CodBico = '03') Then Exception ERRO_PRECO; End"
                                        << "preço recusado";
        QTest::newRow("bico apagado") << "Delete From Bombas Where CodBico = '03'"
                                      << "O bico 03 não foi encontrado na tabela Bombas.";
    }
    void FalhaNoBancoDesfazTudo()
    {
        QFETCH(QString, preparo);
        QFETCH(QString, mensagem);
        TPostoTeste posto;
        posto.Executa("Create Exception ERRO_PRECO 'preço recusado'");
        TCicloLeitura& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        TServicoAlteraPreco servico(*posto.Contexto);
        QList<TLinhaPreco> linhas = servico.CarregaPrecos();
        for (TLinhaPreco& l : linhas)
            l.Preco = "9,990";
        posto.Executa(preparo);
        const TResultadoPrecos resultado = servico.GravaPrecos(linhas);
        QVERIFY2(resultado.ErroBanco.contains(mensagem), qPrintable(resultado.ErroBanco));
        // The pumps that took the new price are named: the database kept the old one.
        QCOMPARE(resultado.SoNaBomba, QStringList({"01", "02", "03"}));
        const QString texto = TServicoAlteraPreco::MensagemSoNaBomba(resultado);
        QVERIFY2(texto.startsWith("Erro ao gravar os preços no banco: ")
                     && texto.endsWith("\rO preço novo já está na bomba dos bicos: 01, 02, 03; o banco ficou com o "
                                       "preço antigo."),
                 qPrintable(texto));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
        // The next tick commits nothing of it: nothing was left to commit.
        posto.Falso->Fila << Abastecimento("04", 10, 58990, 589900, 37);
        ciclo.LeConcentradorTimer();
        QCOMPARE(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("37"));
        QCOMPARE(posto.Linhas("Select Count(*) N From Bombas Where PrecoVenda = 9.99", {"N"}), QStringList("0"));
        QCOMPARE(posto.Falso->TextosPrecos(), QStringList({"04 3 9.99", "05 3 9.99", "44 3 9.99"}));
    }
};

QTEST_GUILESS_MAIN(TesteServicoAlteraPreco)
#include "TesteServicoAlteraPreco.moc"
