#include "MensagensServico.h"

#include "NotificacaoSistema.h"
#include "Relogio.h"

#include <cstdio>

TMensagensServico::TMensagensServico(TNotificacaoSistema& notificacao, const TRelogio& relogio)
    : FNotificacao(notificacao), FRelogio(relogio)
{
}

int TMensagensServico::PausaTentativa(int tentativa)
{
    // 5 s, 10 s, 20 s, then 30 s: the database server may be slow to come back, and the pause,
    // the engine's own 7 s and an attempt stay well inside the unit's one-minute watchdog, which
    // systemd may already watch while the service starts.
    const int expoente = qBound(0, tentativa - 1, 3);
    return qMin(5000 << expoente, 30000);
}

void TMensagensServico::Registra(const QString& texto)
{
    // A line break inside a box's text is a carriage return; a log line is one line.
    QString linha = texto;
    linha.replace(QStringLiteral(" \r"), QStringLiteral(" ")).replace('\r', ' ').replace('\n', ' ');
    std::fprintf(stderr, "%s\n", linha.toUtf8().constData());
    std::fflush(stderr);
    if (!FRegistroErro)
        return;
    try {
        FRegistroErro(linha);
    } catch (const std::exception& erro) {
        // The log keeps the line for later (TLogArquivo); the journal has it already.
        std::fprintf(stderr, "%s\n", erro.what());
    }
}

TResposta TMensagensServico::MostraMensagem(TTipoMensagem tipo, const QString& texto, TBotoes botoes)
{
    Registra(TituloMensagem(tipo) + QStringLiteral(": ") + texto);
    if (FAoMostrar) {
        QString caixa = TituloMensagem(tipo) + QStringLiteral(": ") + texto;
        FAoMostrar(caixa.replace(QStringLiteral(" \r"), QStringLiteral("\n")).replace('\r', '\n'));
    }
    // Only the connection's retry question is an information with yes and no; a confirmation
    // asks for an operator's decision, which a service cannot give.
    if (botoes != TBotoes::SimNao || tipo != TTipoMensagem::Informacao || FTerminoSolicitado)
        return RespostaCautelosa(botoes);
    const int pausa = PausaTentativa(++FTentativas);
    FNotificacao.Estado(QStringLiteral("Banco de dados inacessível; nova tentativa em %1 s").arg(pausa / 1000));
    // The pause, the engine's own wait before the next attempt and the attempt itself.
    FNotificacao.EstendePartida(pausa + 7000 + 60000);
    FNotificacao.Vivo();
    FRelogio.Dorme(pausa);
    if (FRelogio.Interrompido()) {
        FTerminoSolicitado = true;
        return TResposta::Nao;
    }
    return TResposta::Sim;
}
