#include "AlteraPreco.h"
#include "MenuPrin.h"
#include "PostoTeste.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

namespace {

const QString kPrecos = "Select CodBico, PrecoVenda From Bombas Order By CodBico";

QString TextoCelula(const TFAlteraPreco* dialogo, int linha, int coluna)
{
    const QTableWidgetItem* item = dialogo->GridBombas->item(linha, coluna);
    return item ? item->text() : QString("<sem item>");
}

} // namespace

class TesteAlteraPreco : public QObject {
    Q_OBJECT

    std::unique_ptr<TPostoTeste> posto;
    std::unique_ptr<TMotor> motor;
    QPointer<TFAlteraPreco> dialogo;

    // The dialog on the started engine, poll timer off, shown, active and filled.
    void Abre()
    {
        TLinkor& linkor = posto->IniciaMotor();
        linkor.Ciclo().ParaLeitura();
        motor = std::make_unique<TMotor>(linkor);
        dialogo = new TFAlteraPreco(*motor);
        dialogo->show();
        QVERIFY(QTest::qWaitForWindowActive(dialogo));
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo->Ocupado(), 30000);
    }
    // "&OK" pressed without the focus leaving where it is (as its letter does), then the wait for
    // its job.
    void Ok()
    {
        dialogo->BtOk->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo->Ocupado(), 30000);
    }
    void Tecla(Qt::Key tecla) { QTest::keyClick(QApplication::focusWidget(), tecla); }
    // The grid focused on this cell.
    void Foca(int linha, int coluna)
    {
        dialogo->GridBombas->setFocus();
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), dialogo->GridBombas, 30000);
        dialogo->GridBombas->setCurrentCell(linha, coluna);
    }
    QPoint Atual() const { return {dialogo->GridBombas->currentRow(), dialogo->GridBombas->currentColumn()}; }
    QStringList Textos() const
    {
        QStringList textos;
        for (const auto& c : posto->Respondedor.Caixas)
            textos << c.Texto;
        return textos;
    }

private slots:
    void init() { posto = std::make_unique<TPostoTeste>(); }
    void cleanup()
    {
        delete dialogo.data();
        motor.reset();
        posto.reset();
    }

    void GradeComOsBicos()
    {
        Abre();
        QCOMPARE(dialogo->windowTitle(), QString("Alterar Preços das Bombas"));
        QCOMPARE(dialogo->size(), QSize(412, 249));
        QCOMPARE(dialogo->Panel1->geometry(), QRect(0, 0, 412, 203));
        QCOMPARE(dialogo->BtOk->text(), QString("&OK"));
        QCOMPARE(dialogo->BtOk->geometry(), QRect(101, 207, 75, 25));
        QCOMPARE(dialogo->BtCancelar->text(), QString("&Cancelar"));
        QCOMPARE(dialogo->BtCancelar->geometry(), QRect(225, 207, 75, 25));
        QCOMPARE(dialogo->StatusBar1->geometry(), QRect(0, 233, 412, 16));
        QTableWidget* grade = dialogo->GridBombas;
        QStringList cabecalhos;
        for (int c = 0; c < 3; ++c)
            cabecalhos << grade->horizontalHeaderItem(c)->text();
        QCOMPARE(cabecalhos, QStringList({"Bico", "Descrição", "Preço"}));
        QVERIFY(grade->isColumnHidden(3));
        QCOMPARE(grade->rowCount(), 8); // nozzle 09 has no concentrator code
        QCOMPARE(QStringList({TextoCelula(dialogo, 2, 0), TextoCelula(dialogo, 2, 1), TextoCelula(dialogo, 2, 2), TextoCelula(dialogo, 2, 3)}),
                 QStringList({"03", "BICO 03 ÓLEO DIESEL S-10", "5,990", "068"}));
        // Rows as every nozzle grid counts them: the header is row 0, the first nozzle row 1.
        QCOMPARE(dialogo->GridBombas->QuantidadeLinhas(), 9);
        QCOMPARE(dialogo->Linha(3).CodConcentrador, QString("068"));
        QCOMPARE(dialogo->Linha(1).CodBico, TextoCelula(dialogo, 0, 0));
        QCOMPARE(QApplication::focusWidget(), grade);
        QCOMPARE(Atual(), QPoint(0, 2));

        // Nozzle and description cannot be edited; the price can.
        for (int coluna : {0, 1}) {
            grade->edit(grade->model()->index(0, coluna));
            QCOMPARE(QApplication::focusWidget(), grade);
        }
        grade->edit(grade->model()->index(0, 2));
        QVERIFY(grade->isAncestorOf(QApplication::focusWidget()));
    }

    void EnterFormataEDesceNaColunaDoPreco()
    {
        Abre();
        // Typing opens the cell editor; Enter formats the price and goes down to the next one,
        // with the grid keeping the focus.
        Foca(0, 2);
        QTest::keyClick(dialogo->GridBombas, '2');
        QVERIFY(dialogo->GridBombas->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClicks(QApplication::focusWidget(), ",5");
        Tecla(Qt::Key_Return);
        QCOMPARE(TextoCelula(dialogo, 0, 2), QString("2,500"));
        QCOMPARE(QApplication::focusWidget(), dialogo->GridBombas);
        QCOMPARE(Atual(), QPoint(1, 2));
        QVERIFY(posto->Falso->Precos.isEmpty());

        // In the grid itself: the nozzle column lands on the price, a price goes down, the last to "&OK".
        Foca(3, 0);
        Tecla(Qt::Key_Return);
        QCOMPARE(Atual(), QPoint(3, 2));
        Foca(3, 1);
        Tecla(Qt::Key_Return);
        QCOMPARE(Atual(), QPoint(3, 2));
        Tecla(Qt::Key_Return);
        QCOMPARE(Atual(), QPoint(4, 2));
        QCOMPARE(QApplication::focusWidget(), dialogo->GridBombas);
        Foca(7, 2);
        Tecla(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), dialogo->BtOk);
        QVERIFY(posto->Respondedor.Caixas.isEmpty());
    }

    void PrecoRecusadoFicaNaColuna_data()
    {
        QTest::addColumn<QString>("digitado");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("mensagem");
        QTest::newRow("zero") << "0" << "0,000" << "O preço tem que ser maior que zero!";
        QTest::newRow("letras") << "abc" << "abc" << "Valor Inválido!";
        QTest::newRow("vazio") << " " << " " << "O preço não pode ficar em branco!";
    }
    void PrecoRecusadoFicaNaColuna()
    {
        QFETCH(QString, digitado);
        QFETCH(QString, texto);
        QFETCH(QString, mensagem);
        Abre();
        Foca(1, 2);
        dialogo->GridBombas->item(1, 2)->setText(digitado);
        dialogo->BtOk->setFocus();
        Tecla(Qt::Key_Return); // "&OK" checks every row before anything is sent
        QCOMPARE(posto->Respondedor.Caixas.size(), 1);
        QCOMPARE(posto->Respondedor.Caixas[0].Tipo, TTipoMensagem::Informacao);
        QCOMPARE(posto->Respondedor.Caixas[0].Texto, mensagem);
        QCOMPARE(TextoCelula(dialogo, 1, 2), texto);
        QCOMPARE(QApplication::focusWidget(), dialogo->GridBombas);
        QCOMPARE(dialogo->GridBombas->currentColumn(), 2);
        QVERIFY(posto->Falso->Precos.isEmpty()); // not even the rows before it
        QCOMPARE(posto->Linhas("Select PrecoVenda From Bombas Where CodBico = '01'", {"PrecoVenda"}),
                 QStringList("6,19"));
        QVERIFY(!posto->Contexto->CnTankora().EmTransacao());

        // Enter on the cell gives the same message and keeps the cursor there.
        Foca(1, 2);
        Tecla(Qt::Key_Return);
        QCOMPARE(Textos(), QStringList({mensagem, mensagem}));
        QCOMPARE(Atual(), QPoint(1, 2));
    }

    void OkGravaEEnviaEFicaAberto()
    {
        Abre();
        dialogo->GridBombas->item(2, 2)->setText("7,1");
        Ok();
        QCOMPARE(posto->Falso->TextosPrecos(),
                 QStringList({"04 3 6.19", "05 3 6.19", "44 3 7.1", "45 3 5.99", "84 3 4.29", "85 3 4.29", "C4 3 6.49",
                              "C5 3 6.49"}));
        QCOMPARE(posto->Linhas(kPrecos, {"CodBico", "PrecoVenda"}).mid(1, 3),
                 QStringList({"02|6,19", "03|7,1", "04|5,99"}));
        QVERIFY(dialogo->isVisible());
        QCOMPARE(TextoCelula(dialogo, 2, 2), QString("7,100"));
        QVERIFY(posto->Respondedor.Caixas.isEmpty());
        QVERIFY(!posto->Contexto->CnTankora().EmTransacao());

        // "&Cancelar" closes and frees the dialog.
        dialogo->BtCancelar->click();
        QTRY_VERIFY_WITH_TIMEOUT(dialogo.isNull(), 30000);
    }

    void SemBicosUmaLinhaVazia()
    {
        posto->Executa("Update Bombas Set CodConcentrador = Null");
        Abre();
        QCOMPARE(dialogo->GridBombas->rowCount(), 1);
        QCOMPARE(TextoCelula(dialogo, 0, 0), QString(""));
        Ok();
        QCOMPARE(Textos(), QStringList("O preço não pode ficar em branco!"));
        QVERIFY(posto->Falso->Precos.isEmpty());
        QVERIFY(!posto->Contexto->CnTankora().EmTransacao());
    }

    void FalhaNoBancoMostraOErroEDesfaz()
    {
        posto->Executa("Create Exception ERRO_PRECO 'preço recusado'");
        posto->Executa("Create Trigger RECUSA_PRECO For Bombas Before Update As Begin "
                       "If (New.CodBico = '03') Then Exception ERRO_PRECO; End");
        Abre();
        dialogo->GridBombas->item(0, 2)->setText("9,99");
        Ok();
        // 01 and 02 went through (pump and database), 03 was refused and never sent, nor were the
        // rows after it; the one box names the nozzle whose new price is in place.
        QCOMPARE(posto->Respondedor.Caixas.size(), 1);
        QCOMPARE(posto->Respondedor.Caixas[0].Tipo, TTipoMensagem::Erro);
        const QString texto = posto->Respondedor.Caixas[0].Texto;
        QVERIFY2(texto.contains("preço recusado") && texto.endsWith("\rCom o preço novo na bomba e no banco: 01."),
                 qPrintable(texto));
        QVERIFY(!posto->Contexto->CnTankora().EmTransacao());
        QCOMPARE(posto->Linhas("Select PrecoVenda From Bombas Where CodBico = '01'", {"PrecoVenda"}),
                 QStringList("9,99"));
        QCOMPARE(posto->Falso->TextosPrecos(), QStringList({"04 3 9.99", "05 3 6.19"}));
        QVERIFY(dialogo->isVisible());
    }

    void PrecoRecusadoPelaBombaNomeiaOBico_data()
    {
        QTest::addColumn<bool>("mudo");
        QTest::newRow("recusado") << false;
        QTest::newRow("sem resposta") << true;
    }
    void PrecoRecusadoPelaBombaNomeiaOBico()
    {
        QFETCH(bool, mudo);
        Abre();
        posto->Falso->PrecosRecusados << "44";
        if (mudo) // every nozzle of the line unanswered
            posto->Falso->PrecosRecusados << "04" << "05" << "45" << "84" << "85" << "C4" << "C5";
        dialogo->GridBombas->item(2, 2)->setText("7,000");
        dialogo->GridBombas->item(3, 2)->setText("6,500");
        Ok();
        // One box for all of them, by the nozzles' own codes.
        QCOMPARE(Textos(),
                 QStringList(mudo ? "Erro ao atualizar o preco na Bomba: 01, 02, 03, 04, 05, 06, 07, 08; o banco ficou "
                                    "com o preço antigo desses bicos.\rNenhum bico ficou com o preço novo."
                                  : "Erro ao atualizar o preco na Bomba: 03; o banco ficou com o preço antigo desses "
                                    "bicos.\rCom o preço novo na bomba e no banco: 04."));
        // The refused nozzle keeps in Bombas the price its pump still shows.
        QCOMPARE(posto->Linhas(kPrecos, {"CodBico", "PrecoVenda"}).mid(2, 2),
                 QStringList({"03|5,99", mudo ? "04|5,99" : "04|6,5"}));
        QVERIFY(dialogo->isVisible());
    }

    void EditorGuardaODigitado_data()
    {
        QTest::addColumn<QString>("saida");
        QTest::newRow("Enter") << "Enter";
        QTest::newRow("Tab") << "Tab";
        QTest::newRow("clique no OK") << "clique";
        QTest::newRow("OK pela letra") << "letra";
    }
    void EditorGuardaODigitado()
    {
        // However the cell editor is left, what was typed is the cell's, and "&OK" sends it.
        QFETCH(QString, saida);
        Abre();
        Foca(2, 2);
        Tecla(Qt::Key_F2); // edits the price as it is
        QVERIFY(dialogo->GridBombas->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), "6,222");
        if (saida == "Enter")
            Tecla(Qt::Key_Return);
        else if (saida == "Tab")
            Tecla(Qt::Key_Tab);
        else if (saida == "letra")
            dialogo->BtOk->click(); // the editor stays open, as with Alt+O
        else
            QTest::mouseClick(dialogo->BtOk, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo->Ocupado(), 30000);
        QVERIFY2(TextoCelula(dialogo, 2, 2).startsWith("6,222"), qPrintable(TextoCelula(dialogo, 2, 2)));
        if (saida == "Enter")
            QCOMPARE(QApplication::focusWidget(), dialogo->GridBombas);
        if (saida == "Enter" || saida == "Tab")
            Ok();
        QCOMPARE(posto->Falso->TextosPrecos().value(2), QString("44 3 6.222"));
        QCOMPARE(posto->Linhas("Select PrecoVenda From Bombas Where CodBico = '03'", {"PrecoVenda"}),
                 QStringList("6,222"));
    }

    void SequenciasDeTeclas_data()
    {
        QTest::addColumn<QStringList>("teclas"); // from the dialog as it opens: the grid on the first price
        QTest::addColumn<QStringList>("bombas"); // the prices sent, in order
        QTest::addColumn<QStringList>("banco");  // Bombas for 01 and 02 afterwards
        const QStringList todos{"04 3 6.5", "05 3 6.6", "44 3 5.99", "45 3 5.99", "84 3 4.29", "85 3 4.29",
                                "C4 3 6.49", "C5 3 6.49"};
        const QStringList novos{"01|6,5", "02|6,6"}, antigos{"01|6,19", "02|6,19"};
        QTest::newRow("digita Enter digita Enter OK") << QStringList{"6,5", "Enter", "6,6", "Enter", "OK"} << todos
                                                      << novos;
        QTest::newRow("digita Tab digita OK") << QStringList{"6,5", "Tab", "6,6", "OK"} << todos << novos;
        QTest::newRow("Shift+Tab volta ao preço de cima")
            << QStringList{"Enter", "6,6", "Shift+Tab", "6,5", "OK"} << todos << novos;
        QTest::newRow("Enter sem editar não envia")
            << QStringList{"6,5", "Enter", "Enter", "Enter", "Enter"} << QStringList{} << antigos;
        QTest::newRow("Esc desfaz só a edição") << QStringList{"6,5", "Esc", "Down", "6,6", "Enter", "OK"}
                                                << QStringList(todos).replaceInStrings("04 3 6.5", "04 3 6.19")
                                                << QStringList{"01|6,19", "02|6,6"};
        // Tab from the grid goes to "&OK", where Enter presses it.
        QTest::newRow("Enter no OK envia") << QStringList{"6,5", "Enter", "6,6", "Enter", "Tab", "Enter"} << todos
                                           << novos;
    }
    void SequenciasDeTeclas()
    {
        QFETCH(QStringList, teclas);
        QFETCH(QStringList, bombas);
        QFETCH(QStringList, banco);
        Abre();
        for (const QString& t : teclas) {
            QWidget* foco = QApplication::focusWidget();
            if (t == "Enter")
                QTest::keyClick(foco, Qt::Key_Return);
            else if (t == "Tab")
                QTest::keyClick(foco, Qt::Key_Tab);
            else if (t == "Shift+Tab")
                QTest::keyClick(foco, Qt::Key_Backtab, Qt::ShiftModifier);
            else if (t == "Esc")
                QTest::keyClick(foco, Qt::Key_Escape);
            else if (t == "Down")
                QTest::keyClick(foco, Qt::Key_Down);
            else if (t == "OK")
                QTest::mouseClick(dialogo->BtOk, Qt::LeftButton);
            else // typed key by key, each to whatever has the focus then
                for (const QChar c : t)
                    QTest::keyClicks(QApplication::focusWidget(), QString(c));
            QVERIFY2(dialogo && dialogo->isVisible(), qPrintable(t));
            QTRY_VERIFY_WITH_TIMEOUT(!dialogo->Ocupado(), 30000);
        }
        QCOMPARE(posto->Falso->TextosPrecos(), bombas);
        QCOMPARE(posto->Linhas(kPrecos, {"CodBico", "PrecoVenda"}).mid(0, 2), banco);
        QVERIFY(posto->Respondedor.Caixas.isEmpty());
    }

    void TabPassaPorTudo()
    {
        Abre();
        Foca(0, 0);
        QStringList ordem;
        for (int i = 0; i < 3; ++i) {
            Tecla(Qt::Key_Tab);
            ordem << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(ordem, QStringList({"BtOk", "BtCancelar", "GridBombas"}));
    }

    void AbertoPelaJanelaComOTimerRodando()
    {
        // The toolbar opens one modal dialog; a poll tick while it is open stores its fueling, and
        // the dialog carries on.
        TMenuPrin janela(posto->CriaMotor());
        QTRY_VERIFY_WITH_TIMEOUT(janela.Iniciado(), 30000); // start-up runs on the engine's thread
        janela.Motor().Executa(&janela, [](TLinkor& linkor, const TRetorno&) { linkor.Ciclo().DefineIntervaloLeitura(20); });
        bool verificado = false;
        QTimer::singleShot(0, this, [&] {
            [&] {
            TFAlteraPreco* aberto = TFAlteraPreco::FAlteraPreco;
            QVERIFY(aberto && aberto->isModal() && aberto->isVisible());
            QVERIFY(posto->Ciclo().LeituraAtiva());
            posto->Falso->Fila << Abastecimento("44", 10, 58990, 589900, 37);
            QTRY_COMPARE_WITH_TIMEOUT(posto->Linhas("Select Id From MvAbast", {"Id"}), QStringList("37"), 30000);
            QTRY_VERIFY_WITH_TIMEOUT(!aberto->Ocupado(), 30000);
            aberto->GridBombas->item(2, 2)->setText("7,000");
            aberto->BtOk->click();
            QTRY_VERIFY_WITH_TIMEOUT(!aberto->Ocupado(), 30000);
            QCOMPARE(posto->Linhas("Select PrecoVenda From Bombas Where CodBico = '03'", {"PrecoVenda"}),
                     QStringList("7"));
            QVERIFY(aberto->isVisible());
            verificado = true;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            }();
            if (TFAlteraPreco::FAlteraPreco) // a failed check must not leave the test waiting
                TFAlteraPreco::FAlteraPreco->close();
        });
        janela.SpAlteraPreco->click();
        QVERIFY(verificado);
        QVERIFY(!TFAlteraPreco::FAlteraPreco);
        QVERIFY(posto->Ciclo().LeituraAtiva());
        QVERIFY(posto->Respondedor.Caixas.isEmpty());
    }
};

QTEST_MAIN(TesteAlteraPreco)
#include "TesteAlteraPreco.moc"
