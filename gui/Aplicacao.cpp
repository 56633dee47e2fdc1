#include "Aplicacao.h"

#include "CaixaMensagem.h"
#include "Erro.h"

#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>


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

namespace {
sigset_t SinaisDeTermino()
{
    sigset_t sinais;
    sigemptyset(&sinais);
    sigaddset(&sinais, SIGTERM);
    sigaddset(&sinais, SIGINT);
    return sigset_t(sinais);
}
} // namespace

void TAplicacao::BloqueiaSinais()
{
    const sigset_t sinais = SinaisDeTermino();
    pthread_sigmask(SIG_BLOCK, &sinais, nullptr);
}

void TAplicacao::InstalaTratamentoSinais()
{
    const sigset_t sinais = SinaisDeTermino();
    const int descritor = signalfd(-1, &sinais, SFD_NONBLOCK | SFD_CLOEXEC);
    if (descritor < 0)
        throw EErro(QStringLiteral("Não foi possível preparar o tratamento de sinais."));
    auto* aviso = new QSocketNotifier(descritor, QSocketNotifier::Read, this);
    connect(aviso, &QSocketNotifier::activated, this, [this, descritor] {
        signalfd_siginfo info;
        while (::read(descritor, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        FTerminoSolicitado = true;
        FCaixas->Suprime();
        // A box waiting for the operator (start-up may be in one) gives its cautious answer.
        for (int i = 0; i < 16 && QApplication::activeModalWidget(); ++i)
            QApplication::activeModalWidget()->close();
        for (QWidget* janela : QApplication::topLevelWidgets())
            if (janela->inherits("QMainWindow"))
                janela->close();
        QCoreApplication::quit();
    });
}
