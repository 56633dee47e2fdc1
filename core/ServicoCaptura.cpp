#include "ServicoCaptura.h"

#include "Erro.h"
#include "Linkor.h"
#include "Textos.h"

#include <QScopeGuard>

#include <cmath>
#include <limits>

TServicoCaptura::TServicoCaptura(TLinkor& linkor) : FLinkor(linkor) {}

void TServicoCaptura::Captura(double valor, const QString& texto)
{
    TCicloLeitura& ciclo = FLinkor.Ciclo();
    TMensagens& mensagens = FLinkor.Contexto().Mensagens();
    // No tick may store a fueling while this one is being fetched and stored.
    ciclo.ParaLeitura();
    auto reabilita = qScopeGuard([&ciclo] { ciclo.HabilitaLeitura(); });

    if (valor < 0) {
        mensagens.MostraMensagem(TTipoMensagem::Informacao, QStringLiteral("Informe o ID do Abastecidmento!"));
        return;
    }
    if (mensagens.MostraMensagem(TTipoMensagem::Confirmacao,
                                 QStringLiteral("Confirma a captura do Registro ") + texto + QStringLiteral("?"),
                                 TBotoes::SimNao)
        != TResposta::Sim)
        return;
    const qint64 id = LeInteiro(texto);
    if (id < std::numeric_limits<qint32>::min() || id > std::numeric_limits<qint32>::max())
        throw EErroConversao(QStringLiteral("'%1' não é um valor inteiro válido").arg(texto));

    try {
        CapturaRegistro(static_cast<qint32>(id), texto);
    } catch (const std::exception& e) {
        mensagens.MostraMensagem(TTipoMensagem::Informacao, QStringLiteral("Erro ao capturar o abastecimento: ")
                                                                + texto + QStringLiteral("\r") + MensagemDe(e));
    }
}

void TServicoCaptura::CapturaRegistro(qint32 id, const QString& texto)
{
    TContexto& contexto = FLinkor.Contexto();
    TCicloLeitura& ciclo = FLinkor.Ciclo();
    TMensagens& mensagens = contexto.Mensagens();

    const TAbastecimento registro = contexto.Concentrador()->FLeRegistro(id);
    if (registro.Valido == 0) {
        mensagens.MostraMensagem(TTipoMensagem::Informacao, QStringLiteral("Registro de abastecimento nº: ") + texto
                                                                + QStringLiteral(" não encontrado."));
        return;
    }

    // A fueling stored already (by the poll or an earlier capture) is passed over by the road: it
    // never becomes a second row, nor advances the sequence a second time for ID 9999.
    switch (ciclo.ProcessaAbastecimento(registro)) {
    case TResultadoAbastecimento::Gravado:
        mensagens.MostraMensagem(TTipoMensagem::Informacao, QStringLiteral("Abastecimento ") + texto
                                                                + QStringLiteral(" capturado com sucesso! "));
        break;
    case TResultadoAbastecimento::JaGravado:
        mensagens.MostraMensagem(TTipoMensagem::Alerta,
                                 QStringLiteral("O abastecimento ") + texto
                                     + QStringLiteral(" já está gravado. Nada foi gravado novamente."));
        break;
    case TResultadoAbastecimento::ValoresZerados:
        mensagens.MostraMensagem(TTipoMensagem::Alerta,
                                 QStringLiteral("O abastecimento ") + texto
                                     + QStringLiteral(" não foi gravado: a litragem ou o preço unitário é zero."));
        break;
    case TResultadoAbastecimento::BicoDesconhecido:
        mensagens.MostraMensagem(TTipoMensagem::Alerta,
                                 QStringLiteral("O abastecimento ") + texto
                                     + QStringLiteral(" não foi gravado: nenhum bico do posto está ligado ao código ")
                                     + ciclo.BicoConcentrador() + QStringLiteral(" do concentrador."));
        break;
    case TResultadoAbastecimento::SemAbastecimento:
    case TResultadoAbastecimento::Falhou:
        mensagens.MostraMensagem(TTipoMensagem::Alerta,
                                 QStringLiteral("O abastecimento ") + texto + QStringLiteral(" não foi gravado."));
        break;
    }
}
