#include "Relogio.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>

namespace {
QString ComBarra(const QString& pasta)
{
    return pasta.endsWith('/') ? pasta : pasta + '/';
}
} // namespace

TRelogio::TRelogio(QString pastaPosto)
    : FPastaPosto(pastaPosto.isEmpty() ? QString() : ComBarra(QDir::cleanPath(QDir(pastaPosto).absolutePath())))
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
    QThread::msleep(static_cast<unsigned long>(milissegundos));
}
