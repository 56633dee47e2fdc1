#include "Erro.h"
#include "Regional.h"
#include "Textos.h"

#include <QTest>

class TesteTextos : public QObject {
    Q_OBJECT
    const TConfiguracaoRegional PtBr = TConfiguracaoRegional::PtBr();

private slots:
    void StrZeroCorta_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<int>("largura");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("preenche") << "7" << 3 << "007";
        QTest::newRow("apara") << "  42 " << 4 << "0042";
        QTest::newRow("mantem a direita") << "12345" << 4 << "2345";
        QTest::newRow("sequencia longa") << "1234" << 3 << "234";
        QTest::newRow("vazio") << "" << 4 << "0000";
        QTest::newRow("controle apara") << "\t12\n" << 4 << "0012";
    }
    void StrZeroCorta()
    {
        QFETCH(QString, texto);
        QFETCH(int, largura);
        QFETCH(QString, esperado);
        QCOMPARE(StrZero(texto, largura), esperado);
    }

    void TextosCurtos()
    {
        QCOMPARE(CompletaTexto("1,5", " ", 9, true), QString("      1,5"));
        QCOMPARE(CompletaTexto("1,5", " ", 9, false), QString("1,5      "));
        QCOMPARE(CompletaTexto("1234567890", " ", 9, true), QString("1234567890"));
        QCOMPARE(CompletaTexto("ab", "xy", 4, true), QString("xyxyab"));
        QVERIFY(!ContemTexto("", ""));
        QVERIFY(ContemTexto("", "x"));
        QVERIFY(!ContemTexto("ab", "a"));
        QCOMPARE(Espacos(0), QString());
        QCOMPARE(Espacos(-3), QString());
        QCOMPARE(DireitaTexto("", 3), QString("   "));
        QCOMPARE(DireitaTexto("abcdef", 3), QString("def"));
        QCOMPARE(DireitaTexto("abc", 5), QString("  abc"));
    }

    void SubstituiDaDireita_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("procurado");
        QTest::addColumn<QString>("substituto");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("remove barras") << "09/12/2025" << "/" << "" << "09122025";
        QTest::newRow("pontos") << "09/12/2025" << "/" << "." << "09.12.2025";
        QTest::newRow("igual") << "1/2" << "/" << "/" << "1/2";
        QTest::newRow("sobreposto pela direita") << "aaa" << "aa" << "b" << "ab";
        QTest::newRow("ocorrencia criada") << "aab" << "ab" << "b" << "b";
        QTest::newRow("sem ocorrencia") << "abc" << "x" << "y" << "abc";
        // Pathological pairs must still end.
        QTest::newRow("procurado vazio") << "abc" << "" << "x" << "abc";
        QTest::newRow("substituto contem") << "a/b/c" << "/" << "//" << "a//b//c";
    }
    void SubstituiDaDireita()
    {
        QFETCH(QString, texto);
        QFETCH(QString, procurado);
        QFETCH(QString, substituto);
        QFETCH(QString, esperado);
        QCOMPARE(SubstituiTexto(texto, procurado, substituto), esperado);
    }

    void ArredondaPeloTextoDecimal_data()
    {
        QTest::addColumn<double>("valor");
        QTest::addColumn<int>("casas");
        QTest::addColumn<double>("esperado");
        QTest::newRow("meio positivo") << 0.125 << 2 << 0.13;
        QTest::newRow("meio negativo") << -0.125 << 2 << -0.13;
        QTest::newRow("1.005 guardado abaixo") << 1.005 << 2 << 1.0;
        QTest::newRow("2.675 guardado abaixo") << 2.675 << 2 << 2.67;
        QTest::newRow("2.5 inteiro") << 2.5 << 0 << 3.0;
        QTest::newRow("-2.5 inteiro") << -2.5 << 0 << -3.0;
        QTest::newRow("quase zero") << 0.004 << 2 << 0.0;
        QTest::newRow("vai um") << 9.999 << 2 << 10.0;
        QTest::newRow("litros minimos") << 0.001 << 2 << 0.0;
    }
    void ArredondaPeloTextoDecimal()
    {
        QFETCH(double, valor);
        QFETCH(int, casas);
        QFETCH(double, esperado);
        const double resultado = Arredonda(valor, casas);
        QCOMPARE(resultado, esperado);
        if (esperado == 0)
            QVERIFY(!std::signbit(resultado));
    }

    void FormataMascaras_data()
    {
        QTest::addColumn<QString>("mascara");
        QTest::addColumn<double>("valor");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("milhar") << "#,##0.000" << 1234.5 << "1.234,500";
        QTest::newRow("preenche") << "##0.000" << 2.499 << "  2,499";
        QTest::newRow("nao corta") << "#,##0.000" << 12345.678 << "12.345,678";
        QTest::newRow("total agrupado") << "##,##0.00" << 12345.6 << "12.345,60";
        QTest::newRow("total grande") << "##,##0.00" << 123456.78 << "123.456,78";
        QTest::newRow("menor que um") << "0.000" << 0.5 << "0,500";
        QTest::newRow("arredonda meio") << "##,##0.00" << 0.125 << "     0,13";
        QTest::newRow("negativo") << "##0.000" << -2.5 << " -2,500";
        QTest::newRow("negativo zero") << "##0.000" << -0.0001 << "  0,000";
        QTest::newRow("milhoes") << "#,##0.000" << 1234567.0 << "1.234.567,000";
    }
    void FormataMascaras()
    {
        QFETCH(QString, mascara);
        QFETCH(double, valor);
        QFETCH(QString, esperado);
        QCOMPARE(FormataNumero(mascara, valor, PtBr), esperado);
    }

    void SeparadoresDoLocal()
    {
        TConfiguracaoRegional us;
        us.SeparadorDecimal = '.';
        us.SeparadorMilhar = ',';
        QCOMPARE(FormataNumero("#,##0.000", 1234.5, us), QString("1,234.500"));
        QCOMPARE(us.TextoNumero(8.5), QString("8.5"));
        QCOMPARE(us.LeNumero("5.899"), 5.899);
        QCOMPARE(PtBr.TextoNumero(8.5), QString("8,5"));
        QCOMPARE(PtBr.TextoNumero(50), QString("50"));
        QCOMPARE(PtBr.TextoNumero(1e20), QString("1E+20"));
        QCOMPARE(PtBr.LeNumero("1,25"), 1.25);
        QCOMPARE(PtBr.LeNumero("5,899"), 5.899);
        QCOMPARE(PtBr.LeNumero("-1,5e2"), -150.0);
        for (const char* recusado : {"1.25", "", "1,2,3", " , ", "1e", "abc", "1,5x", "inf"})
            QVERIFY_THROWS_EXCEPTION(EErroConversao, PtBr.LeNumero(recusado));
    }

    void ConversoesDeHoraEInteiro()
    {
        QCOMPARE(PtBr.TextoHoraLonga(PtBr.LeHora("9:05:00")), QString("09:05:00"));
        QCOMPARE(PtBr.TextoHoraLonga(PtBr.LeHora("14")), QString("14:00:00"));
        QCOMPARE(PtBr.TextoData(PtBr.LeData("9/12/2025")), QString("09/12/2025"));
        for (const char* recusada : {"25:00:00", "xx", "", "12:", "1:2:3:4", "12:60", "123:00"})
            QVERIFY_THROWS_EXCEPTION(EErroConversao, PtBr.LeHora(recusada));
        for (const char* recusada : {"31/02/2025", "9/12/25", "09/12/2025x", "", "00/00/0000"})
            QVERIFY_THROWS_EXCEPTION(EErroConversao, PtBr.LeData(recusada));
        QCOMPARE(LeInteiro("$44"), 68);
        QCOMPARE(LeInteiro("12"), 12);
        try {
            LeInteiro("");
            QFAIL("sem erro");
        } catch (const EErroConversao& e) {
            QCOMPARE(e.Mensagem(), QString("'' não é um valor inteiro válido"));
        }
    }
};

QTEST_GUILESS_MAIN(TesteTextos)
#include "TesteTextos.moc"
