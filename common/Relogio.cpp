#include "Relogio.h"

#include <QCoreApplication>
#include <QDir>

#include <chrono>
#include <condition_variable>
#include <mutex>

struct TRelogio::TInterrupcao {
    std::mutex Trava;
    std::condition_variable Acorda;
    bool Interrompido = false;
};

namespace {
QString ComBarra(const QString& pasta)
{
    return pasta.endsWith('/') ? pasta : pasta + '/';
}
} // namespace

TRelogio::TRelogio(QString pastaPosto)
    : FPastaPosto(pastaPosto.isEmpty() ? QString() : ComBarra(QDir::cleanPath(QDir(pastaPosto).absolutePath()))),
      FInterrupcao(std::make_shared<TInterrupcao>())
{
}

QDateTime TRelogio::Agora() const
{
    return QDateTime::currentDateTime();
}

QString TRelogio::PastaExecutavel() const
{
    if (!FPastaPosto.isEmpty())
        return FPastaPosto;
    return ComBarra(QCoreApplication::applicationDirPath());
}

QString TRelogio::PastaAtual() const
{
    if (!FPastaPosto.isEmpty())
        return FPastaPosto;
    return ComBarra(QDir::currentPath());
}

void TRelogio::Dorme(int milissegundos) const
{
    TInterrupcao& i = *FInterrupcao;
    std::unique_lock trava(i.Trava);
    i.Acorda.wait_for(trava, std::chrono::milliseconds(milissegundos), [&i] { return i.Interrompido; });
}

void TRelogio::Interrompe() const
{
    {
        const std::lock_guard trava(FInterrupcao->Trava);
        FInterrupcao->Interrompido = true;
    }
    FInterrupcao->Acorda.notify_all();
}

bool TRelogio::Interrompido() const
{
    const std::lock_guard trava(FInterrupcao->Trava);
    return FInterrupcao->Interrompido;
}
