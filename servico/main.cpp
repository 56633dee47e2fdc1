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
#include "EstadoServico.h"
#include "TravaInstancia.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {
// How a start that did not get to polling ends, for the unit: another Linkor serving the station
// is worth trying again (the unit restarts it); a station the service cannot serve until a
// technician changes something (the port missing or refused, the station not using a
// concentrator, a broken setting) ends with EX_CONFIG, which the unit does not restart: it shows
// as failed, with the cause as its status and in the journal.
constexpr int kSaidaOutraInstancia = 75; // EX_TEMPFAIL
constexpr int kSaidaConfiguracao = 78;   // EX_CONFIG

QString UmaLinha(QString texto)
{
    return texto.replace(QStringLiteral(" \r"), QStringLiteral(" ")).replace(QLatin1Char('\r'), QLatin1Char(' '));
}
} // namespace

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
        std::fprintf(stderr, "%s\n", UmaLinha(MensagemDe(e)).toUtf8().constData());
        notificacao.Estado(UmaLinha(MensagemDe(e)));
        return kSaidaOutraInstancia;
    } catch (const std::exception& e) {
        mensagens.Registra(QStringLiteral("Erro na inicialização: ") + MensagemDe(e));
        notificacao.Estado(QStringLiteral("Parado: ") + UmaLinha(MensagemDe(e)));
        linkor.Finaliza();
        return mensagens.TerminoSolicitado() ? 0 : kSaidaConfiguracao;
    }
    if (mensagens.TerminoSolicitado()) {
        linkor.Finaliza(); // stopped while starting
        return 0;
    }
    if (linkor.FimSolicitado()) {
        // Not configured for the concentrator: nothing to serve until the station's settings change.
        notificacao.Estado(QStringLiteral("Parado: o posto não está configurado para usar concentrador "
                                          "(ParaPosto.UsaConcentrador)"));
        linkor.Finaliza();
        return kSaidaConfiguracao;
    }

    TCicloLeitura& ciclo = linkor.Ciclo();
    TEstadoServico estado;
    QObject::connect(&ciclo, &TCicloLeitura::TiqueConcluido, &aplicacao, [&notificacao, &estado] {
        notificacao.Vivo();
        estado.TiqueBom();
    });
    QObject::connect(&ciclo, &TCicloLeitura::LinhaLogEscrita, &aplicacao, [&notificacao, &estado](const QString& linha) {
        std::fprintf(stdout, "%s\n", linha.toUtf8().constData());
        std::fflush(stdout);
        estado.AbastecimentoGravado();
        if (estado.Aviso().isEmpty())
            notificacao.Estado(estado.Texto());
    });
    QObject::connect(&ciclo, &TCicloLeitura::AvisoAlterado, &aplicacao, [&notificacao, &estado](const QString& aviso) {
        // The journal hears every notice and every recovery, each with its cause.
        if (!aviso.isEmpty())
            std::fprintf(stderr, "%s\n", aviso.toUtf8().constData());
        else if (!estado.Aviso().isEmpty())
            std::fprintf(stderr, "Normalizado: %s\n", estado.Aviso().toUtf8().constData());
        std::fflush(stderr);
        estado.DefineAviso(aviso);
        notificacao.Estado(estado.Texto());
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
    notificacao.Pronto(estado.Texto());
    const int saida = aplicacao.exec();
    notificacao.Parando();
    linkor.Finaliza();
    return saida;
}
