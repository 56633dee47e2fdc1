#include "Relogio.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>

namespace {
const TRelogio gRelogioSistema;
const TRelogio* gRelogio = &gRelogioSistema;

QString ComBarra(const QString& pasta)
{
    return pasta.endsWith('/') ? pasta : pasta + '/';
}
} // namespace

QDateTime TRelogio::Agora() const
{
    return QDateTime::currentDateTime();
}

QString TRelogio::PastaExecutavel() const
{
    return ComBarra(QCoreApplication::applicationDirPath());
}

QString TRelogio::PastaAtual() const
{
    return ComBarra(QDir::currentPath());
}

void TRelogio::Dorme(int milissegundos) const
{
    QThread::msleep(static_cast<unsigned long>(milissegundos));
}

const TRelogio& Relogio()
{
    return *gRelogio;
}

void DefineRelogio(const TRelogio* relogio)
{
    gRelogio = relogio ? relogio : &gRelogioSistema;
}
