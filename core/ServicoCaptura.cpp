#include "ServicoCaptura.h"

#include "Erro.h"
#include "Linkor.h"
#include "Textos.h"

#include <QScopeGuard>

#include <cmath>
#include <limits>

TServicoCaptura::TServicoCaptura(TLinkor& linkor) : FLinkor(linkor) {}

qint32 TServicoCaptura::LeId(const QString& texto)
{
    const qint64 id = LeInteiro(texto);
    if (id < std::numeric_limits<qint32>::min() || id > std::numeric_limits<qint32>::max())
        throw EErroConversao(QStringLiteral("'%1' não é um valor inteiro válido").arg(texto));
    return static_cast<qint32>(id);
}

TResultadoCaptura TServicoCaptura::Captura(qint32 id, const QString& texto)
{
    TCicloLeitura& ciclo = FLinkor.Ciclo();
    // No tick may store a fueling while this one is being fetched and stored.
    ciclo.ParaLeitura();
    auto reabilita = qScopeGuard([&ciclo] { ciclo.HabilitaLeitura(); });
    try {
        return CapturaRegistro(id, texto);
    } catch (const std::exception& e) {
        return {TTipoMensagem::Erro, QStringLiteral("Erro ao capturar o abastecimento: ") + texto
                                               + QStringLiteral("\r") + MensagemDe(e)};
    }
}

TResultadoCaptura TServicoCaptura::CapturaRegistro(qint32 id, const QString& texto)
{
    TContexto& contexto = FLinkor.Contexto();
    TCicloLeitura& ciclo = FLinkor.Ciclo();

    const TAbastecimento registro = contexto.Concentrador()->FLeRegistro(id);
    if (registro.Valido == 0)
        return {TTipoMensagem::Informacao,
                QStringLiteral("Registro de abastecimento nº: ") + texto + QStringLiteral(" não encontrado.")};

    // Through the journal like a polled fueling. A fueling stored already (by the poll or an
    // earlier capture) is passed over by the road: it never becomes a second row, nor advances the
    // sequence a second time for ID 9999.
    const QString abastecimento = QStringLiteral("O abastecimento ") + texto;
    switch (ciclo.CapturaPeloDiario(registro)) {
    case TResultadoAbastecimento::Gravado:
        return {TTipoMensagem::Informacao,
                QStringLiteral("Abastecimento ") + texto + QStringLiteral(" capturado com sucesso! "), true};
    case TResultadoAbastecimento::JaGravado:
        return {TTipoMensagem::Alerta, abastecimento + QStringLiteral(" já está gravado. Nada foi gravado novamente.")};
    case TResultadoAbastecimento::ValoresZerados:
        return {TTipoMensagem::Alerta,
                abastecimento + QStringLiteral(" não foi gravado: a litragem ou o preço unitário é zero.")};
    case TResultadoAbastecimento::ValoresInvalidos:
        return {TTipoMensagem::Alerta, abastecimento
                                           + QStringLiteral(" não foi gravado: a litragem, o preço unitário, o valor ou o "
                                                            "encerrante é impossível (veja o log de erros).")};
    case TResultadoAbastecimento::BicoDesconhecido:
        return {TTipoMensagem::Alerta, abastecimento
                                           + QStringLiteral(" não foi gravado: nenhum bico do posto está ligado ao código ")
                                           + ciclo.BicoConcentrador() + QStringLiteral(" do concentrador.")};
    case TResultadoAbastecimento::Retido:
        return {TTipoMensagem::Erro, abastecimento + QStringLiteral(" não foi gravado: ") + ciclo.MotivoCaptura()
                                         + QStringLiteral("\rEle ficou retido no diário do Linkor; nada foi perdido. "
                                                          "Chame o técnico.")};
    case TResultadoAbastecimento::Aguardando:
        return {TTipoMensagem::Alerta,
                abastecimento + QStringLiteral(" foi guardado no diário do Linkor e será gravado quando o banco de dados "
                                               "aceitar: ")
                    + ciclo.MotivoCaptura()};
    case TResultadoAbastecimento::Descartado:
        return {TTipoMensagem::Alerta,
                abastecimento + QStringLiteral(" foi descartado no diário do Linkor: ") + ciclo.MotivoCaptura()};
    case TResultadoAbastecimento::SemAbastecimento:
    case TResultadoAbastecimento::Falhou:
        break;
    }
    return {TTipoMensagem::Alerta, abastecimento + QStringLiteral(" não foi gravado.")};
}
