#include "PostoTeste.h"
#include "ServicoAlteraPreco.h"

namespace {

const QString kPrecos = "Select CodBico, PrecoVenda From Bombas Order By CodBico";

// "&OK" over these rows, each accepted unless listed in `recusadas`.
bool Grava(TServicoAlteraPreco& servico, const QList<TLinhaPreco>& linhas, const QList<int>& recusadas = {})
{
    return servico.GravaPrecos(
        static_cast<int>(linhas.size()), [&](int r) { return !recusadas.contains(r); },
        [&](int r) { return linhas[r]; });
}

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
    }
    void ValidaPreco()
    {
        QFETCH(QString, digitado);
        QFETCH(QString, texto);
        QFETCH(int, validacao);
        TRelogioTeste relogio;
        TRespondedorTeste respondedor;
        TContexto contexto(relogio, respondedor, TConfiguracaoRegional::PtBr());
        TServicoAlteraPreco servico(contexto);
        QCOMPARE(int(servico.ValidaPreco(digitado)), validacao);
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
        QVERIFY(Grava(servico, linhas));
        // Every row, changed or not, in hexadecimal with mode 3.
        QCOMPARE(posto.Falso->TextosPrecos(), QStringList({"05 3 6.19", "44 3 7.5", "45 3 5.99"}));
        QCOMPARE(posto.Linhas(kPrecos, {"CodBico", "PrecoVenda"}).mid(1, 3),
                 QStringList({"02|6,19", "03|7,5", "04|5,99"}));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    void EnvioRecusadoAvisaESegue()
    {
        TPostoTeste posto;
        TCicloLeitura& ciclo = posto.IniciaMotor().Ciclo();
        ciclo.ParaLeitura();
        posto.Falso->PrecosRecusados << "44";
        TServicoAlteraPreco servico(*posto.Contexto);
        QList<TLinhaPreco> linhas = servico.CarregaPrecos().mid(1, 3);
        linhas[1].Preco = "7,500";
        linhas[2].Preco = "6,000";
        linhas << TLinhaPreco{"05", "", "4,300", "13X"}; // a code that is no number
        // A poll tick while the box is open skips: the change is not committed halfway.
        posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, 37);
        bool emTransacao = false;
        posto.Respondedor.AoMostrar = [&] {
            ciclo.LeConcentradorTimer();
            emTransacao = posto.Contexto->CnTankora().EmTransacao();
        };
        QVERIFY(Grava(servico, linhas));
        QVERIFY(emTransacao);
        QCOMPARE(posto.Falso->LeiturasPlanas, 0);
        QCOMPARE(posto.Respondedor.Caixas.size(), 2);
        QCOMPARE(posto.Respondedor.Caixas[0].Tipo, TTipoMensagem::Informacao);
        QCOMPARE(posto.Respondedor.Caixas[0].Texto, QString("Erro ao atualizar o preco na Bomba: 068"));
        QCOMPARE(posto.Respondedor.Caixas[1].Texto, QString("Erro ao atualizar o preco na Bomba: 13X"));
        QCOMPARE(posto.Falso->TextosPrecos(), QStringList({"05 3 6.19", "44 3 7.5", "45 3 6"}));
        // The database keeps every new price, the refused row's too.
        QCOMPARE(posto.Linhas(kPrecos, {"CodBico", "PrecoVenda"}).mid(1, 4),
                 QStringList({"02|6,19", "03|7,5", "04|6", "05|4,3"}));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
    }

    void LinhaRecusadaDesfazOQueFoiGravado()
    {
        TPostoTeste posto;
        posto.IniciaMotor().Ciclo().ParaLeitura();
        TServicoAlteraPreco servico(*posto.Contexto);
        QList<TLinhaPreco> linhas = servico.CarregaPrecos();
        for (TLinhaPreco& l : linhas)
            l.Preco = "9,990";
        QVERIFY(!Grava(servico, linhas, {2}));
        QCOMPARE(posto.Linhas("Select Count(*) N From Bombas Where PrecoVenda = 9.99", {"N"}), QStringList("0"));
        // What reached the concentrator before the refused row stays sent.
        QCOMPARE(posto.Falso->TextosPrecos(), QStringList({"04 3 9.99", "05 3 9.99"}));
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
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
        try {
            Grava(servico, linhas);
            QFAIL("sem erro");
        } catch (const EErro& e) {
            QVERIFY2(e.Mensagem().contains(mensagem), qPrintable(e.Mensagem()));
        }
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
        // The next tick commits nothing of it: nothing was left to commit.
        posto.Falso->Fila << Abastecimento("04", 10, 58990, 589900, 37);
        ciclo.LeConcentradorTimer();
        QCOMPARE(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("37"));
        QCOMPARE(posto.Linhas("Select Count(*) N From Bombas Where PrecoVenda = 9.99", {"N"}), QStringList("0"));
        QCOMPARE(posto.Falso->TextosPrecos(), QStringList({"04 3 9.99", "05 3 9.99"}));
    }
};

QTEST_GUILESS_MAIN(TesteServicoAlteraPreco)
#include "TesteServicoAlteraPreco.moc"
