#include "SinaisTermino.h"

#include "Erro.h"

#include <QSocketNotifier>

#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

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

void BloqueiaSinaisTermino()
{
    const sigset_t sinais = SinaisDeTermino();
    pthread_sigmask(SIG_BLOCK, &sinais, nullptr);
}

void InstalaSinaisTermino(QObject* dono, std::function<void()> aoReceber)
{
    const sigset_t sinais = SinaisDeTermino();
    const int descritor = signalfd(-1, &sinais, SFD_NONBLOCK | SFD_CLOEXEC);
    if (descritor < 0)
        throw EErro(QStringLiteral("Não foi possível preparar o tratamento de sinais."));
    auto* aviso = new QSocketNotifier(descritor, QSocketNotifier::Read, dono);
    QObject::connect(aviso, &QSocketNotifier::activated, dono, [descritor, aoReceber = std::move(aoReceber)] {
        signalfd_siginfo info;
        while (::read(descritor, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        aoReceber();
    });
}
