#pragma once
// For benchmarks that drive the engine behind the real main window: wait for its start-up, and run
// work on the engine (on its own thread where it has one) waiting for the end without a poll loop.
#include "Erro.h"
#include "MenuPrin.h"

#include <QEventLoop>
#include <QTimer>

namespace Bancada {

// Start-up runs on the engine's thread; where it still runs inside the window's constructor there
// is nothing to wait for.
template <typename TJanela>
void EsperaPartida(TJanela& janela)
{
    if constexpr (requires { janela.Iniciado(); }) {
        QEventLoop laco;
        QTimer olha;
        QObject::connect(&olha, &QTimer::timeout, &laco, [&] {
            if (janela.Iniciado() || janela.FimSolicitado())
                laco.quit();
        });
        olha.start(1);
        laco.exec();
        if (!janela.Iniciado())
            throw EErro(QStringLiteral("start-up failed"));
    }
}

// `trabalho(TLinkor&)` on the engine; its error is raised here.
template <typename F>
void NoMotor(TMenuPrin& janela, F&& trabalho)
{
    QEventLoop laco;
    QString falha;
    bool fim = false;
    janela.Motor().Executa(
        &janela, [&](TLinkor& linkor, const TRetorno&) { trabalho(linkor); },
        [&](const QString& erro) {
            falha = erro;
            fim = true;
            laco.quit();
        });
    if (!fim)
        laco.exec();
    if (!falha.isEmpty())
        throw EErro(falha);
}

} // namespace Bancada
