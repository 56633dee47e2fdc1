// The headless service: the engine on its own thread under a console application, for a station
// box without a desktop. It starts, polls, stores and logs as the window program does;
// what the window would show goes to the error log and standard error, fueling lines to standard
// output. Under systemd it reports ready after start-up and alive after each tick, so an engine
// stuck longer than the unit's watchdog is restarted. The main thread only waits for the stop
// signal and serves the system bus (linkorctl and the window ask the station's state there), so
// SIGTERM ends the service within the engine's stop bound whatever the engine is doing.
#include "AtendimentoMotor.h"
#include "Erro.h"
#include "Linkor.h"
#include "LogArquivos.h"
#include "MensagensServico.h"
#include "Motor.h"
#include "NotificacaoSistema.h"
#include "OperacoesPosto.h"
#include "OpcoesPrograma.h"
#include "PostoPublicado.h"
#include "PublicacaoMotor.h"
#include "SinaisTermino.h"
#include "EstadoServico.h"
#include "TravaInstancia.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
// How a start that did not get to polling ends, for the unit: another Linkor serving the station
// is worth trying again (the unit restarts it); a station the service cannot serve until a
// technician changes something (the port missing or refused, the station not using a
// concentrator, a broken setting) ends with EX_CONFIG, which the unit does not restart: it shows
// as failed, with the cause as its status and in the journal.
constexpr int kSaidaOutraInstancia = 75; // EX_TEMPFAIL
constexpr int kSaidaConfiguracao = 78;   // EX_CONFIG
// How long the stop waits for the engine: half of it for its tick or job to end, then its database
// attachment is cancelled and it gets the other half to finalise itself.
constexpr int kEsperaMotorMs = 2000;

QString UmaLinha(QString texto)
{
    return texto.replace(QStringLiteral(" \r"), QStringLiteral(" ")).replace(QLatin1Char('\r'), QLatin1Char(' '));
}

// The engine did not stop within the bound: stuck on the line (its attachment is cancelled
// already). It is left behind unfinalised, so nothing pending is acknowledged to the concentrator;
// the line goes straight to the file and the journal, without the engine's context.
[[noreturn]] void EncerraSemOMotor(const TContexto& contexto, int codigo)
{
    const QString linha = QStringLiteral("Linkor encerrado sem esperar o banco de dados ou o concentrador, que não "
                                         "responderam; nada pendente foi confirmado ao concentrador.");
    std::fprintf(stderr, "%s\n", linha.toUtf8().constData());
    try {
        TLogArquivo().Acrescenta(contexto.Relogio().PastaExecutavel() + QStringLiteral("LogErroConcentrador"),
                                 MontaLinhaErro(contexto.Relogio().Agora(), linha, contexto.Regional()));
    } catch (const std::exception&) {
        // the journal has it
    }
    std::fflush(nullptr);
    std::_Exit(codigo);
}
} // namespace

int main(int argc, char** argv)
{
    BloqueiaSinaisTermino(); // before any thread: the engine's inherits the mask
    QCoreApplication aplicacao(argc, argv);
    aplicacao.setApplicationName(QStringLiteral("linkor-servico"));
    const TOpcoesPrograma opcoes = LeOpcoesPrograma(
        aplicacao, QStringLiteral("Linkor sem janela: lê o concentrador e grava os abastecimentos no banco do posto."));
    const TRelogio relogio(opcoes.PastaPosto);
    TNotificacaoSistema notificacao;
    TMensagensServico mensagens(notificacao, relogio);
    if (!opcoes.Erro.isEmpty()) {
        mensagens.Registra(opcoes.Erro);
        return 1;
    }
    TContexto contexto(relogio, mensagens);
    // Called on the engine's thread, which owns the context.
    mensagens.DefineRegistroErro([&contexto](const QString& linha) { contexto.GravaLogErro(linha); });
    TLinkor linkor(contexto);
    try {
        InstalaSinaisTermino(&aplicacao, [&aplicacao] { aplicacao.exit(0); });
    } catch (const std::exception& e) {
        mensagens.Registra(QStringLiteral("Erro na inicialização: ") + MensagemDe(e));
        notificacao.Estado(QStringLiteral("Parado: ") + UmaLinha(MensagemDe(e)));
        return kSaidaConfiguracao;
    }

    TCicloLeitura& ciclo = linkor.Ciclo();
    TEstadoServico estado;
    // The station on the system bus, fed from the engine's signals.
    TPostoPublicado posto(TLinkor::kVersao);
    TPublicacaoMotor publicacao(linkor, posto);
    mensagens.DefineAoMostrar([&posto](const QString& texto) {
        QMetaObject::invokeMethod(&posto, [&posto, texto] { posto.Mostra(texto); }, Qt::QueuedConnection);
    });
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
    // near the watchdog's), the engine's own event loop does, which still stops when a tick hangs.
    QTimer vigia;
    const qint64 intervaloVigia = TNotificacaoSistema::IntervaloVigia();
    if (intervaloVigia > 0)
        QObject::connect(&vigia, &QTimer::timeout, &linkor, [&ciclo, &notificacao, intervaloVigia] {
            if (ciclo.IntervaloLeitura() == 0 || ciclo.IntervaloLeitura() > intervaloVigia / 4)
                notificacao.Vivo();
        });

    TMotor motor(linkor);
    motor.IniciaThread();
    // Start-up on the engine's thread; what it ends in comes back here. A start that does not
    // get to polling ends the program with its exit code; one that does reports ready.
    auto saidaPartida = std::make_shared<std::atomic<int>>(-1);
    motor.Executa(
        &aplicacao,
        [&notificacao, &mensagens, &relogio, &publicacao, saidaPartida](TLinkor& motorLinkor, const TRetorno&) {
            try {
                motorLinkor.Inicia();
                publicacao.Observa(); // the interval and the tag mode, set without a signal
            } catch (const EOutraInstancia& e) {
                // The window version (or another service) serves this station. Said to the journal
                // only: systemd tries again every few seconds, so the service takes over when the
                // other one ends, and the station's error log must not fill with the same refusal.
                std::fprintf(stderr, "%s\n", UmaLinha(MensagemDe(e)).toUtf8().constData());
                notificacao.Estado(UmaLinha(MensagemDe(e)));
                saidaPartida->store(kSaidaOutraInstancia);
                return;
            } catch (const std::exception& e) {
                mensagens.Registra(QStringLiteral("Erro na inicialização: ") + MensagemDe(e));
                notificacao.Estado(QStringLiteral("Parado: ") + UmaLinha(MensagemDe(e)));
                // Stopped while waiting for the database: an ordinary stop, not a broken setting.
                saidaPartida->store(mensagens.TerminoSolicitado() || relogio.Interrompido() ? 0 : kSaidaConfiguracao);
                return;
            }
            if (motorLinkor.FimSolicitado()) {
                // Not configured for the concentrator: nothing to serve until the station's
                // settings change.
                notificacao.Estado(QStringLiteral("Parado: o posto não está configurado para usar concentrador "
                                                  "(ParaPosto.UsaConcentrador)"));
                saidaPartida->store(kSaidaConfiguracao);
            }
        },
        [&aplicacao, &notificacao, &estado, &vigia, intervaloVigia, saidaPartida](const QString& erro) {
            if (!erro.isEmpty()) // the job catches what start-up raises; anything else is a fault
                saidaPartida->store(kSaidaConfiguracao);
            if (saidaPartida->load() >= 0) {
                aplicacao.exit(saidaPartida->load());
                return;
            }
            if (intervaloVigia > 0)
                vigia.start(static_cast<int>(qMin<qint64>(intervaloVigia / 2, 3600000)));
            notificacao.Pronto(estado.Texto());
        });
    // The operator's steps asked on the bus run as the window's dialogs run them, queued after
    // start-up; a step that changes the published state (the interval) has it published again.
    TOperacoesLocais operacoes(motor);
    TAtendimentoMotor atendimento(operacoes, [&motor, &aplicacao, &publicacao] {
        motor.Executa(&aplicacao, [&publicacao](TLinkor&, const TRetorno&) { publicacao.Observa(); });
    });
    posto.DefineAtendimento(&atendimento);
    // On the bus once the engine is on its way, so a slow bus never delays polling. Without one
    // (a box without D-Bus, a test) or refused the name, the service polls exactly as before.
    QString erroBarramento;
    if (!posto.Registra(QDBusConnection::systemBus(), &erroBarramento)) {
        std::fprintf(stderr, "%s\n",
                     QStringLiteral("Linkor fora do barramento do sistema: %1. A leitura do concentrador continua; "
                                    "linkorctl não alcança o serviço.")
                         .arg(erroBarramento)
                         .toUtf8()
                         .constData());
        std::fflush(stderr);
    }
    const int saida = aplicacao.exec();
    posto.DefineAtendimento(nullptr);
    vigia.stop();
    notificacao.Parando();
    if (motor.Abandonado() || !motor.Para(kEsperaMotorMs))
        EncerraSemOMotor(contexto, saida);
    return saida;
}
