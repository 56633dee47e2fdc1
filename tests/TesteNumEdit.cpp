#include "NumEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <limits>
#include <memory>

namespace {

TConfiguracaoRegional RegionalPonto()
{
    TConfiguracaoRegional r;
    r.SeparadorDecimal = '.';
    r.SeparadorMilhar = ',';
    return r;
}

void Tecla(QWidget* alvo, const QString& tecla)
{
    if (tecla == "Backspace")
        QTest::keyClick(alvo, Qt::Key_Backspace);
    else if (tecla == "Enter")
        QTest::keyClick(alvo, Qt::Key_Return);
    else if (tecla == "Esc")
        QTest::keyClick(alvo, Qt::Key_Escape);
    else if (tecla.startsWith("Ctrl+"))
        QTest::keyClick(alvo, tecla.at(5).toLatin1(), Qt::ControlModifier);
    else
        QTest::keyClick(alvo, tecla.at(0).toLatin1());
}

// Darkest pixel of the image and the horizontal extent of the pixels near that darkness.
struct TTinta {
    int MaisEscuro = 255;
    int Esquerda = -1;
    int Direita = -1;
};

TTinta Tinta(const QImage& imagem, const QRect& area)
{
    TTinta t;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            t.MaisEscuro = std::min(t.MaisEscuro, qGray(imagem.pixel(x, y)));
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(imagem.pixel(x, y)) <= t.MaisEscuro + 40) {
                t.Esquerda = t.Esquerda < 0 ? x : std::min(t.Esquerda, x);
                t.Direita = std::max(t.Direita, x);
            }
    return t;
}

} // namespace

class TesteNumEdit : public QObject {
    Q_OBJECT

    // A window with the box, a second range-checked box after it in tab order, and a button.
    std::unique_ptr<QWidget> janela;
    TNumEdit* edit = nullptr;
    TNumEdit* outro = nullptr;
    QPushButton* botao = nullptr;
    std::unique_ptr<QSignalSpy> bipes;

    void Prepara(const QString& texto, int cursor, int selecao = 0)
    {
        edit->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(edit->hasFocus(), 30000);
        edit->setText(texto);
        if (selecao > 0)
            edit->setSelection(cursor, selecao);
        else
            edit->setCursorPosition(cursor);
        bipes->clear();
    }

    void DaFocoAoBotao()
    {
        botao->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(botao->hasFocus(), 30000);
    }

private slots:
    void init()
    {
        janela = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(janela.get());
        edit = new TNumEdit;
        outro = new TNumEdit;
        botao = new QPushButton("&OK");
        layout->addWidget(edit);
        layout->addWidget(outro);
        layout->addWidget(botao);
        edit->DefineRegional(TConfiguracaoRegional::PtBr());
        outro->DefineRegional(TConfiguracaoRegional::PtBr());
        outro->DefineMinValue(1);
        outro->DefineMaxValue(60);
        janela->resize(220, 120);
        janela->show();
        janela->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(janela.get()));
        bipes = std::make_unique<QSignalSpy>(edit, &TNumEdit::Bipou);
        QGuiApplication::clipboard()->setText("9");
    }

    void cleanup()
    {
        bipes.reset();
        janela.reset();
    }

    void Padroes()
    {
        TNumEdit novo;
        QCOMPARE(novo.Alignment(), Qt::Alignment(Qt::AlignRight));
        QCOMPARE(novo.Decimals(), 2);
        QCOMPARE(novo.MinValue(), 0.0);
        QCOMPARE(novo.MaxValue(), 0.0);
        QVERIFY(novo.ShowSeparator());
        QCOMPARE(novo.MaxLength(), 0);
        QCOMPARE(novo.Value(), 0.0);
    }

    void Teclas_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<int>("selecao");
        QTest::addColumn<int>("decimais");
        QTest::addColumn<QString>("tecla");
        QTest::addColumn<QString>("textoFinal");
        QTest::addColumn<int>("cursorFinal");
        QTest::addColumn<bool>("bipa");

        QTest::newRow("virgula sem decimais") << "12" << 2 << 0 << 0 << "," << "12" << 2 << true;
        QTest::newRow("ponto sem decimais") << "12" << 2 << 0 << 0 << "." << "12" << 2 << true;
        QTest::newRow("decimais cheias, no fim") << "12,34" << 5 << 0 << 2 << "5" << "12,34" << 5 << true;
        QTest::newRow("decimais cheias, no meio") << "12,34" << 4 << 0 << 2 << "5" << "12,35" << 5 << false;
        QTest::newRow("decimais cheias, parte inteira") << "12,34" << 1 << 0 << 2 << "5" << "152,34" << 2 << false;
        QTest::newRow("decimais cheias, selecao") << "12,34" << 3 << 2 << 2 << "9" << "12,9" << 4 << false;
        QTest::newRow("separador corta decimais") << "12345" << 2 << 0 << 2 << "," << "12,34" << 3 << false;
        QTest::newRow("ponto vira virgula") << "12345" << 2 << 0 << 2 << "." << "12,34" << 3 << false;
        QTest::newRow("separador no fim") << "12" << 2 << 0 << 2 << "," << "12," << 3 << false;
        QTest::newRow("separador existente") << "12,5" << 1 << 0 << 2 << "," << "12,5" << 3 << false;
        QTest::newRow("separador sobre tudo") << "12,5" << 0 << 4 << 2 << "," << "," << 1 << false;
        QTest::newRow("menos poe sinal") << "15" << 1 << 0 << 2 << "-" << "-15" << 2 << false;
        QTest::newRow("menos tira sinal") << "-15" << 2 << 0 << 2 << "-" << "15" << 1 << false;
        QTest::newRow("menos antes do menos") << "-15" << 0 << 0 << 2 << "-" << "15" << 0 << false;
        QTest::newRow("menos com selecao parcial") << "15" << 0 << 1 << 2 << "-" << "-15" << 1 << false;
        QTest::newRow("menos com zero") << "0" << 1 << 0 << 2 << "-" << "0" << 1 << false;
        QTest::newRow("menos sobre tudo") << "15" << 0 << 2 << 2 << "-" << "-" << 1 << false;
        QTest::newRow("menos no vazio") << "" << 0 << 0 << 2 << "-" << "-" << 1 << false;
        QTest::newRow("digito antes do menos") << "-15" << 0 << 0 << 2 << "7" << "-15" << 0 << true;
        QTest::newRow("digito apos o menos") << "-15" << 1 << 0 << 2 << "7" << "-715" << 2 << false;
        QTest::newRow("letra") << "12" << 2 << 0 << 2 << "a" << "12" << 2 << true;
        QTest::newRow("espaco") << "12" << 2 << 0 << 2 << " " << "12" << 2 << true;
        QTest::newRow("Enter") << "12" << 2 << 0 << 2 << "Enter" << "12" << 2 << true;
        QTest::newRow("Esc") << "12" << 2 << 0 << 2 << "Esc" << "12" << 2 << true;
        QTest::newRow("backspace") << "12,3" << 4 << 0 << 2 << "Backspace" << "12," << 3 << false;
        QTest::newRow("backspace, decimais cheias no fim") << "12,34" << 5 << 0 << 2 << "Backspace" << "12,3" << 4 << false;
        // Dropping the last digit first would take two digits for one key.
        QTest::newRow("backspace, decimais cheias no meio") << "12,34" << 4 << 0 << 2 << "Backspace" << "12,4" << 3 << false;
        QTest::newRow("copia, decimais cheias no meio") << "12,34" << 4 << 0 << 2 << "Ctrl+C" << "12,34" << 4 << false;
        QTest::newRow("recorta") << "12,34" << 0 << 3 << 2 << "Ctrl+X" << "34" << 0 << false;
        QTest::newRow("cola, decimais cheias no meio") << "12,34" << 4 << 0 << 2 << "Ctrl+V" << "12,39" << 5 << false;
        QTest::newRow("cola, decimais cheias no fim") << "12,34" << 5 << 0 << 2 << "Ctrl+V" << "12,34" << 5 << true;
    }
    void Teclas()
    {
        QFETCH(QString, texto);
        QFETCH(int, cursor);
        QFETCH(int, selecao);
        QFETCH(int, decimais);
        QFETCH(QString, tecla);
        QFETCH(QString, textoFinal);
        QFETCH(int, cursorFinal);
        QFETCH(bool, bipa);

        edit->DefineDecimals(decimais);
        Prepara(texto, cursor, selecao);
        Tecla(edit, tecla);
        QCOMPARE(edit->text(), textoFinal);
        QCOMPARE(edit->cursorPosition(), cursorFinal);
        QCOMPARE(bipes->count(), bipa ? 1 : 0);
    }

    void TeclasComSeparadorPonto()
    {
        edit->DefineRegional(RegionalPonto());
        Prepara("1234", 4);
        QTest::keyClicks(edit, ",5");
        QCOMPARE(edit->text(), QString("1234.5"));
        QCOMPARE(edit->Value(), 1234.5);
        QCOMPARE(edit->TextoExibido(), QString("1,234.50"));
        QCOMPARE(bipes->count(), 0);
    }

    void LimiteDeCaracteres()
    {
        edit->DefineDecimals(0);
        edit->DefineMaxLength(4);
        Prepara("", 0);
        QTest::keyClicks(edit, "12345");
        QCOMPARE(edit->text(), QString("1234"));
        QCOMPARE(bipes->count(), 1);

        // The sign is the program's edit, not typing: the number is not cut.
        QTest::keyClick(edit, '-');
        QCOMPARE(edit->text(), QString("-1234"));

        QGuiApplication::clipboard()->setText("9999");
        Prepara("12", 2);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QString("1299"));

        // The context menu's paste obeys the same limit; closing the menu resumes the editing.
        Prepara("12", 2);
        QContextMenuEvent pedido(QContextMenuEvent::Keyboard, QPoint(4, 4), edit->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(edit, &pedido);
        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QMenu*>(QApplication::activePopupWidget()), 30000);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QAction* colar = nullptr;
        for (QAction* acao : menu->actions())
            if (acao->text().startsWith(QLineEdit::tr("&Paste")))
                colar = acao;
        QVERIFY(colar);
        menu->close();
        colar->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(edit->hasFocus(), 30000);
        QCOMPARE(edit->text(), QString("1299"));
        QCOMPARE(edit->cursorPosition(), 4);
        QVERIFY(!edit->hasSelectedText());

        // A value written by the program is kept whole.
        edit->DefineValue(123456);
        QCOMPARE(edit->Value(), 123456.0);
    }

    void SomenteLeituraNaoMuda()
    {
        edit->setReadOnly(true);
        Prepara("15", 1);
        QTest::keyClicks(edit, "-,7");
        QCOMPARE(edit->text(), QString("15"));
    }

    void LarguraVisivel()
    {
        edit->DefineDecimals(0);
        edit->setFixedWidth(50);
        QTRY_COMPARE_WITH_TIMEOUT(edit->width(), 50, 30000);
        Prepara("", 0);
        const QString digitado = "1234567890123456";
        QTest::keyClicks(edit, digitado);
        QVERIFY(!edit->text().isEmpty());
        QVERIFY(digitado.startsWith(edit->text()));
        QVERIFY(edit->text().size() < digitado.size());
        QCOMPARE(bipes->count(), digitado.size() - edit->text().size());
    }

    void LeValor_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<double>("valor");
        QTest::newRow("vazio") << "" << 0.0;
        QTest::newRow("milhar e decimal") << "1.234,56" << 1234.56;
        QTest::newRow("negativo") << "-12,5" << -12.5;
        QTest::newRow("menos zero") << "-0" << 0.0;
        QTest::newRow("menos no meio") << "1-2" << 12.0;
        QTest::newRow("menos apos branco") << " -5" << 5.0;
        QTest::newRow("segunda virgula") << "12,3,4" << 12.34;
        QTest::newRow("so virgula") << "," << 0.0;
        QTest::newRow("letras") << "abc" << 0.0;
        QTest::newRow("expoente ignorado") << "1e5" << 15.0;
        QTest::newRow("alem do double") << QString(400, '9') << std::numeric_limits<double>::max();
    }
    void LeValor()
    {
        QFETCH(QString, texto);
        QFETCH(double, valor);
        edit->setText(texto);
        QCOMPARE(edit->Value(), valor);
    }

    void Exibicao_data()
    {
        QTest::addColumn<double>("valor");
        QTest::addColumn<int>("decimais");
        QTest::addColumn<bool>("milhar");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("exibido");
        QTest::newRow("com milhar") << 1234.5 << 2 << true << "1234,50" << "1.234,50";
        QTest::newRow("sem milhar") << 1234.5 << 2 << false << "1234,50" << "1234,50";
        QTest::newRow("milhoes negativos") << -1234567.891 << 2 << true << "-1234567,89" << "-1.234.567,89";
        QTest::newRow("sem decimais") << 9999.0 << 0 << true << "9999" << "9.999";
        QTest::newRow("meio para cima") << 0.125 << 2 << true << "0,13" << "0,13";
        QTest::newRow("vai um") << 999.995 << 2 << true << "1000,00" << "1.000,00";
        QTest::newRow("negativo que zera") << -0.001 << 2 << true << "0,00" << "0,00";
        QTest::newRow("tres casas") << 1.5 << 3 << true << "1,500" << "1,500";
    }
    void Exibicao()
    {
        QFETCH(double, valor);
        QFETCH(int, decimais);
        QFETCH(bool, milhar);
        QFETCH(QString, texto);
        QFETCH(QString, exibido);
        edit->DefineDecimals(decimais);
        edit->DefineShowSeparator(milhar);
        edit->DefineValue(valor);
        QCOMPARE(edit->text(), texto);
        QCOMPARE(edit->TextoExibido(), exibido);
    }

    void SairNaoReescreveOTexto()
    {
        Prepara("", 0);
        QTest::keyClicks(edit, "1234,5");
        QTest::keyClick(edit, Qt::Key_Tab);
        QVERIFY(!edit->hasFocus());
        QCOMPARE(edit->text(), QString("1234,5"));
        QCOMPARE(edit->TextoExibido(), QString("1.234,50"));
    }

    void EscreveValorEDecimais()
    {
        Prepara("", 0);
        edit->DefineValue(3);
        QCOMPARE(edit->text(), QString("3,00"));
        QCOMPARE(edit->selectedText(), edit->text());
        edit->setText("12,34");
        edit->DefineDecimals(1);
        QCOMPARE(edit->text(), QString("12,3"));
        edit->DefineDecimals(0);
        QCOMPARE(edit->text(), QString("12"));
    }

    void TrocaDeRegionalMantemOValor()
    {
        edit->setText("12,5");
        edit->DefineRegional(RegionalPonto());
        QCOMPARE(edit->Value(), 12.5);
        QCOMPARE(edit->text(), QString("12.50"));
    }

    void SelecionaTudoAoEntrar()
    {
        edit->setText("12,5");
        DaFocoAoBotao();
        QTest::keyClick(botao, Qt::Key_Tab); // wraps round to the first box
        QVERIFY(edit->hasFocus());
        QCOMPARE(edit->text(), QString("12,50"));
        QCOMPARE(edit->selectedText(), QString("12,50"));

        DaFocoAoBotao();
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() - 8, edit->height() / 2));
        QVERIFY(edit->hasFocus());
        QCOMPARE(edit->selectedText(), QString("12,50"));

        // Once focused, a click places the caret.
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() - 8, edit->height() / 2));
        QVERIFY(!edit->hasSelectedText());
    }

    void FaixaAoSair_data()
    {
        QTest::addColumn<double>("minimo");
        QTest::addColumn<double>("maximo");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<bool>("sai");
        QTest::newRow("1 a 60: 0") << 1.0 << 60.0 << "0" << false;
        QTest::newRow("1 a 60: vazio") << 1.0 << 60.0 << "" << false;
        QTest::newRow("1 a 60: 61") << 1.0 << 60.0 << "61" << false;
        QTest::newRow("1 a 60: 60") << 1.0 << 60.0 << "60" << true;
        QTest::newRow("1 a 60: 1") << 1.0 << 60.0 << "1" << true;
        QTest::newRow("0 a 9999: negativo") << 0.0 << 9999.0 << "-5" << false;
        QTest::newRow("0 a 9999: 9999") << 0.0 << 9999.0 << "9999" << true;
        QTest::newRow("sem faixa: negativo") << 0.0 << 0.0 << "-5" << true;
    }
    void FaixaAoSair()
    {
        QFETCH(double, minimo);
        QFETCH(double, maximo);
        QFETCH(QString, texto);
        QFETCH(bool, sai);
        edit->DefineDecimals(0);
        edit->DefineMinValue(minimo);
        edit->DefineMaxValue(maximo);
        Prepara(texto, 0);
        QSignalSpy saidas(edit, &QLineEdit::editingFinished);

        // The next box holds 0 for its range 1 to 60 too: only the one being left may refuse.
        QTest::keyClick(edit, Qt::Key_Tab);
        if (sai) {
            QVERIFY(outro->hasFocus());
            QCOMPARE(bipes->count(), 0);
            QCOMPARE(saidas.count(), 1);
        } else {
            QVERIFY(edit->hasFocus());
            QCOMPARE(bipes->count(), 1);
            QCOMPARE(edit->selectedText(), edit->text());
            QCOMPARE(saidas.count(), 0);
        }
    }

    void ForaDaFaixaChamaOnOutOfRange()
    {
        edit->DefineMinValue(1);
        edit->DefineMaxValue(60);
        TNumEdit* chamado = nullptr;
        edit->OnOutOfRange = [&](TNumEdit& quem) { chamado = &quem; };
        Prepara("61", 2);
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(chamado, edit);
        QCOMPARE(bipes->count(), 0);
        QVERIFY(edit->hasFocus());
    }

    void CliqueForaDaFaixaNaoAcionaBotao()
    {
        edit->DefineMinValue(1);
        edit->DefineMaxValue(60);
        QSignalSpy cliques(botao, &QPushButton::clicked);

        Prepara("0", 1);
        QTest::mouseClick(botao, Qt::LeftButton);
        QVERIFY(edit->hasFocus());
        QCOMPARE(bipes->count(), 1);
        QCOMPARE(cliques.count(), 0);

        // The next click, with a good value, goes through.
        edit->setText("30");
        QTest::mouseClick(botao, Qt::LeftButton);
        QVERIFY(botao->hasFocus());
        QCOMPARE(cliques.count(), 1);
    }

    void DesenhoSemFoco_data()
    {
        QTest::addColumn<Qt::Alignment>("alinhamento");
        QTest::newRow("direita") << Qt::Alignment(Qt::AlignRight);
        QTest::newRow("esquerda") << Qt::Alignment(Qt::AlignLeft);
    }
    void DesenhoSemFoco()
    {
        QFETCH(Qt::Alignment, alinhamento);
        edit->DefineAlignment(alinhamento);
        edit->DefineDecimals(0);
        edit->setText("1");
        DaFocoAoBotao();
        const QRect dentro = edit->rect().adjusted(4, 4, -4, -4);

        const TTinta ativo = Tinta(edit->grab().toImage(), dentro);
        QVERIFY(ativo.MaisEscuro < 100);
        if (alinhamento == Qt::AlignRight)
            QVERIFY(ativo.Esquerda > edit->width() * 3 / 4);
        else
            QVERIFY(ativo.Direita < edit->width() / 4);

        edit->setEnabled(false);
        const TTinta cinza = Tinta(edit->grab().toImage(), dentro);
        QVERIFY2(cinza.MaisEscuro > ativo.MaisEscuro + 50, "disabled text is drawn grey");
    }
};

QTEST_MAIN(TesteNumEdit)
#include "TesteNumEdit.moc"
