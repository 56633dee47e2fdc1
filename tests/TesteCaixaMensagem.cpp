// The real boxes as the engine's thread meets them: nothing it tells waits for the operator, one
// box of a kind at a time, and a question waits for the answer given in the window.
#include "Aplicacao.h"
#include "CaixaMensagem.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>

namespace {
QList<QMessageBox*> CaixasVisiveis()
{
    QList<QMessageBox*> caixas;
    for (QWidget* janela : QApplication::topLevelWidgets())
        if (auto* caixa = qobject_cast<QMessageBox*>(janela); caixa && caixa->isVisible())
            caixas << caixa;
    return caixas;
}

QAbstractButton* Botao(QMessageBox* caixa, const QString& texto)
{
    for (QAbstractButton* botao : caixa->buttons())
        if (botao->text() == texto)
            return botao;
    return nullptr;
}
} // namespace

class TesteCaixaMensagem : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        // One box may own another: each is deleted once, through a guard.
        QList<QPointer<QMessageBox>> caixas;
        for (QMessageBox* caixa : CaixasVisiveis())
            caixas << caixa;
        for (const QPointer<QMessageBox>& caixa : caixas)
            delete caixa.data();
    }

    void UmaCaixaDeCadaTipo()
    {
        TCaixaMensagem caixas;
        // The engine tells three errors (one twice) and a notice; every call returns at once, with
        // the window's loop not running meanwhile.
        std::unique_ptr<QThread> motor(QThread::create([&] {
            caixas.MostraMensagem(TTipoMensagem::Erro, "Primeiro erro");
            caixas.MostraMensagem(TTipoMensagem::Erro, "Segundo\rerro");
            caixas.MostraMensagem(TTipoMensagem::Erro, "Primeiro erro");
            caixas.MostraMensagem(TTipoMensagem::Informacao, "Uma informação");
        }));
        motor->start();
        QVERIFY(motor->wait(10000));
        QTRY_COMPARE_WITH_TIMEOUT(CaixasVisiveis().size(), 2, 30000);
        QMessageBox* erro = caixas.CaixaAberta(TTipoMensagem::Erro);
        QVERIFY(erro);
        QCOMPARE(erro->windowTitle(), QString("Erro"));
        QCOMPARE(erro->text(), QString("Primeiro erro\n\nSegundo\nerro"));
        QCOMPARE(erro->windowModality(), Qt::NonModal);
        QCOMPARE(caixas.CaixaAberta(TTipoMensagem::Informacao)->text(), QString("Uma informação"));

        // Closed by the operator, the next error opens a box of its own with only its text.
        Botao(erro, "OK")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!caixas.CaixaAberta(TTipoMensagem::Erro), 30000);
        motor.reset(QThread::create([&] { caixas.MostraMensagem(TTipoMensagem::Erro, "Terceiro erro"); }));
        motor->start();
        QVERIFY(motor->wait(10000));
        QTRY_VERIFY_WITH_TIMEOUT(caixas.CaixaAberta(TTipoMensagem::Erro), 30000);
        QCOMPARE(caixas.CaixaAberta(TTipoMensagem::Erro)->text(), QString("Terceiro erro"));
    }

    void PerguntaRespondidaNaJanela_data()
    {
        QTest::addColumn<int>("botoes");
        QTest::addColumn<QString>("clique");
        QTest::addColumn<int>("esperada");
        QTest::newRow("sim") << int(TBotoes::SimNao) << "&Sim" << int(TResposta::Sim);
        QTest::newRow("nao") << int(TBotoes::SimNao) << "&Não" << int(TResposta::Nao);
        QTest::newRow("ok") << int(TBotoes::OkCancelar) << "OK" << int(TResposta::Ok);
        QTest::newRow("cancelar") << int(TBotoes::OkCancelar) << "Cancelar" << int(TResposta::Cancelar);
    }
    void PerguntaRespondidaNaJanela()
    {
        QFETCH(int, botoes);
        QFETCH(QString, clique);
        QFETCH(int, esperada);
        TCaixaMensagem caixas;
        std::atomic<int> resposta{-1};
        std::unique_ptr<QThread> motor(QThread::create([&] {
            resposta = int(caixas.MostraMensagem(TTipoMensagem::Informacao,
                                                 "Impossível conectar ao banco de dados. \rDeseja tentar novamente?",
                                                 TBotoes(botoes)));
        }));
        motor->start();
        QTRY_COMPARE_WITH_TIMEOUT(CaixasVisiveis().size(), 1, 30000);
        QMessageBox* caixa = CaixasVisiveis().first();
        QCOMPARE(caixa->text(), QString("Impossível conectar ao banco de dados. \nDeseja tentar novamente?"));
        QVERIFY(!motor->wait(50)); // the engine waits for the operator; the window does not
        QCOMPARE(resposta.load(), -1);
        Botao(caixa, clique)->click();
        QVERIFY(motor->wait(10000));
        QCOMPARE(resposta.load(), esperada);
    }

    // A stop while the engine waits on a question: the cautious answer at once, the box closed,
    // and no box from then on.
    void ParadaRespondeComCautela()
    {
        TCaixaMensagem caixas;
        std::atomic<int> resposta{-1};
        std::unique_ptr<QThread> motor(QThread::create([&] {
            resposta = int(caixas.MostraMensagem(TTipoMensagem::Informacao, "Deseja tentar novamente?", TBotoes::SimNao));
        }));
        motor->start();
        QTRY_COMPARE_WITH_TIMEOUT(CaixasVisiveis().size(), 1, 30000);
        caixas.Suprime();
        QVERIFY(motor->wait(10000));
        QCOMPARE(resposta.load(), int(TResposta::Nao));
        QTRY_COMPARE_WITH_TIMEOUT(CaixasVisiveis().size(), 0, 30000);
        QCOMPARE(caixas.MostraMensagem(TTipoMensagem::Confirmacao, "Confirma?", TBotoes::OkCancelar), TResposta::Cancelar);
        caixas.MostraMensagem(TTipoMensagem::Erro, "Erro");
        QTest::qWait(50);
        QCOMPARE(CaixasVisiveis().size(), 0);
    }

    // On the way out: a box the engine posted stays until the operator answers it, also one still
    // on its way; a question gets its cautious answer at once; the program ends after the last OK.
    void SaidaEsperaAsCaixas()
    {
        TCaixaMensagem caixas;
        std::unique_ptr<QThread> motor(QThread::create([&] {
            caixas.MostraMensagem(TTipoMensagem::Informacao,
                                  "O sistema não foi configurado para usar concentrador. \rO aplicativo Linkor será "
                                  "finalizado.");
        }));
        motor->start();
        QVERIFY(motor->wait(10000));
        bool fim = false;
        caixas.Encerra([&] { fim = true; });
        QTest::qWait(100);
        QMessageBox* caixa = caixas.CaixaAberta(TTipoMensagem::Informacao);
        QVERIFY(caixa);
        QVERIFY(caixa->isVisible());
        QVERIFY(!fim);
        std::atomic<int> resposta{-1};
        motor.reset(QThread::create([&] {
            resposta = int(caixas.MostraMensagem(TTipoMensagem::Informacao, "Deseja tentar novamente?", TBotoes::SimNao));
        }));
        motor->start();
        QVERIFY(motor->wait(10000));
        QCOMPARE(resposta.load(), int(TResposta::Nao));
        QCOMPARE(CaixasVisiveis().size(), 1);
        Botao(caixa, "OK")->click();
        QTRY_VERIFY_WITH_TIMEOUT(fim, 30000);
    }

    // A box waiting for its answer while the window it came up over goes away by itself (the
    // engine's box closed by the program): it stays, and the answer is the operator's.
    void CaixaSobreCaixaQueSeFecha()
    {
        TCaixaMensagem caixas;
        std::unique_ptr<QThread> motor(QThread::create([&] {
            caixas.MostraMensagem(TTipoMensagem::Informacao, "Impossível conectar ao banco de dados pelo seguinte motivo");
        }));
        motor->start();
        QVERIFY(motor->wait(10000));
        QTRY_VERIFY_WITH_TIMEOUT(caixas.CaixaAberta(TTipoMensagem::Informacao), 30000);
        QPointer<QMessageBox> postada = caixas.CaixaAberta(TTipoMensagem::Informacao);
        postada->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(postada));
        QPointer<QMessageBox> modal;
        QTimer::singleShot(0, [&] {
            modal = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            postada->close(); // deletes itself
            QTimer::singleShot(50, [&] {
                QVERIFY(modal);
                QVERIFY(modal->isVisible());
                Botao(modal, "&Sim")->click();
            });
        });
        QCOMPARE(caixas.MostraMensagem(TTipoMensagem::Confirmacao, "Confirma?", TBotoes::SimNao), TResposta::Sim);
        QVERIFY(postada.isNull());
    }

    // Errors carry the error icon; a text as long as a server can send scrolls inside a box that
    // stays on screen with its button; markup is shown as it was written.
    void CaixaDeErroLimitada_data()
    {
        QTest::addColumn<bool>("doMotor");
        QTest::newRow("na janela") << false;
        QTest::newRow("do motor") << true;
    }
    void CaixaDeErroLimitada()
    {
        QFETCH(bool, doMotor);
        TCaixaMensagem caixas;
        QStringList linhas;
        for (int i = 0; i < 120; ++i)
            linhas << QString("<b>linha %1</b> do servidor: Unable to complete network request to host").arg(i);
        const QString texto = "Erro ao tentar alterar o tempo de leitura do concentrador\r" + linhas.join('\r');
        QRect tela;
        QRect botao;
        QMessageBox::Icon icone = QMessageBox::NoIcon;
        Qt::TextFormat formato = Qt::AutoText;
        auto confere = [&](QMessageBox* caixa) {
            tela = caixa->screen()->availableGeometry();
            QAbstractButton* ok = Botao(caixa, "OK");
            botao = QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size());
            icone = caixa->icon();
            formato = caixa->findChild<QLabel*>("qt_msgbox_label")->textFormat();
            ok->click();
        };
        if (doMotor) {
            std::unique_ptr<QThread> motor(QThread::create([&] { caixas.MostraMensagem(TTipoMensagem::Erro, texto); }));
            motor->start();
            QVERIFY(motor->wait(10000));
            QTRY_VERIFY_WITH_TIMEOUT(caixas.CaixaAberta(TTipoMensagem::Erro) && caixas.CaixaAberta(TTipoMensagem::Erro)->isVisible(), 30000);
            QMessageBox* caixa = caixas.CaixaAberta(TTipoMensagem::Erro);
            QVERIFY(QTest::qWaitForWindowExposed(caixa));
            confere(caixa);
        } else {
            QTimer::singleShot(0, [&] {
                auto* caixa = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(caixa);
                QVERIFY(QTest::qWaitForWindowExposed(caixa));
                confere(caixa);
            });
            caixas.MostraMensagem(TTipoMensagem::Erro, texto);
        }
        QCOMPARE(icone, QMessageBox::Critical);
        QCOMPARE(formato, Qt::PlainText);
        QVERIFY2(tela.contains(botao), qPrintable(QString("button at %1,%2 %3x%4 off a %5x%6 screen")
                                                      .arg(botao.x()).arg(botao.y()).arg(botao.width())
                                                      .arg(botao.height()).arg(tela.width()).arg(tela.height())));
    }
};

int main(int argc, char** argv)
{
    TAplicacao aplicacao(argc, argv);
    TesteCaixaMensagem teste;
    return QTest::qExec(&teste, argc, argv);
}
#include "TesteCaixaMensagem.moc"
