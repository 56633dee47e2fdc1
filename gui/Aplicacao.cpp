#include "Aplicacao.h"

#include "CaixaMensagem.h"
#include "Erro.h"
#include "SinaisTermino.h"

#include <QWidget>

TAplicacao::TAplicacao(int& argc, char** argv)
    : QApplication(argc, argv), FCaixas(std::make_unique<TCaixaMensagem>())
{
    setApplicationName(QStringLiteral("Linkor"));
    setQuitOnLastWindowClosed(false); // the tray keeps the program alive while the window is hidden
}

TAplicacao::~TAplicacao() = default;

bool TAplicacao::notify(QObject* receptor, QEvent* evento)
{
    try {
        return QApplication::notify(receptor, evento);
    } catch (const std::exception& e) {
        FCaixas->MostraErroPadrao(MensagemDe(e));
    }
    return false;
}

void TAplicacao::BloqueiaSinais()
{
    BloqueiaSinaisTermino();
}

void TAplicacao::InstalaTratamentoSinais()
{
    InstalaSinaisTermino(this, [this] {
        FTerminoSolicitado = true;
        FCaixas->Suprime();
        // A box waiting for the operator (start-up may be in one) gives its cautious answer.
        for (int i = 0; i < 16 && QApplication::activeModalWidget(); ++i)
            QApplication::activeModalWidget()->close();
        for (QWidget* janela : QApplication::topLevelWidgets())
            if (janela->inherits("QMainWindow"))
                janela->close();
        // Queued: what the engine handed back on its way out (a start-up failure to log) runs first.
        QMetaObject::invokeMethod(this, &QCoreApplication::quit, Qt::QueuedConnection);
    });
}
