// The headless service: the engine alone, on the main thread of a console application, for a
// station box without a desktop. It starts, polls, stores and logs as the window program does;
// what the window would show goes to the error log and standard error, fueling lines to standard
// output. Under systemd it reports ready after start-up and alive after each tick, so an engine
// stuck longer than the unit's watchdog is restarted.
#include "Erro.h"
#include "Linkor.h"
#include "MensagensServico.h"
#include "NotificacaoSistema.h"
#include "OpcoesPrograma.h"
#include "SinaisTermino.h"
#include "TravaInstancia.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    BloqueiaSinaisTermino();
    QCoreApplication aplicacao(argc, argv);
    aplicacao.setApplicationName(QStringLiteral("linkor-servico"));
    const TOpcoesPrograma opcoes = LeOpcoesPrograma(
        aplicacao, QStringLiteral("Linkor sem janela: lê o concentrador e grava os abastecimentos no banco do posto."));
    TNotificacaoSistema notificacao;
    TMensagensServico mensagens(notificacao);
    if (!opcoes.Erro.isEmpty()) {
        mensagens.Registra(opcoes.Erro);
        return 1;
    }
    const TRelogio relogio(opcoes.PastaPosto);
    TContexto contexto(relogio, mensagens);
    mensagens.DefineRegistroErro([&contexto](const QString& linha) { contexto.GravaLogErro(linha); });
    TLinkor linkor(contexto);
    try {
        InstalaSinaisTermino(&aplicacao, [] { QCoreApplication::quit(); });
        linkor.Inicia();
    } catch (const EOutraInstancia& e) {
        // The window version (or another service) serves this station. Said to the journal only:
        // systemd tries again every few seconds, so the service takes over when the other one
        // ends, and the station's error log must not fill with the same refusal meanwhile.
        std::fprintf(stderr, "%s\n", MensagemDe(e).replace(QLatin1Char('\r'), QLatin1Char(' ')).toUtf8().constData());
        return 1;
    } catch (const std::exception& e) {
        mensagens.Registra(QStringLiteral("Erro na inicialização: ") + MensagemDe(e));
        linkor.Finaliza();
        return mensagens.TerminoSolicitado() ? 0 : 1;
    }
    if (linkor.FimSolicitado() || mensagens.TerminoSolicitado()) {
        linkor.Finaliza(); // not configured for the concentrator, or stopped while starting
        return 0;
    }

    TCicloLeitura& ciclo = linkor.Ciclo();
    QObject::connect(&ciclo, &TCicloLeitura::TiqueConcluido, &aplicacao, [&notificacao] { notificacao.Vivo(); });
    QObject::connect(&ciclo, &TCicloLeitura::LinhaLogEscrita, &aplicacao, [](const QString& linha) {
        std::fprintf(stdout, "%s\n", linha.toUtf8().constData());
        std::fflush(stdout);
    });
    QObject::connect(&ciclo, &TCicloLeitura::AvisoAlterado, &aplicacao, [&notificacao](const QString& aviso) {
        notificacao.Estado(aviso.isEmpty() ? QStringLiteral("Procurando abastecimentos") : aviso);
        if (!aviso.isEmpty())
            std::fprintf(stderr, "%s\n", aviso.toUtf8().constData());
    });
    // Ticks keep the watchdog fed; where they are too rare for it (no polling, or an interval
    // near the watchdog's), the event loop itself does, which still stops when a tick hangs.
    QTimer vigia;
    const qint64 intervaloVigia = TNotificacaoSistema::IntervaloVigia();
    if (intervaloVigia > 0) {
        QObject::connect(&vigia, &QTimer::timeout, &aplicacao, [&ciclo, &notificacao, intervaloVigia] {
            if (ciclo.IntervaloLeitura() == 0 || ciclo.IntervaloLeitura() > intervaloVigia / 4)
                notificacao.Vivo();
        });
        vigia.start(static_cast<int>(qMin<qint64>(intervaloVigia / 2, 3600000)));
    }
    notificacao.Pronto(QStringLiteral("Procurando abastecimentos"));
    const int saida = aplicacao.exec();
    notificacao.Parando();
    linkor.Finaliza();
    return saida;
}
