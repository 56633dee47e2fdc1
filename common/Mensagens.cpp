#include "Mensagens.h"

void TMensagens::MostraErroPadrao(const QString& mensagem)
{
    MostraMensagem(TTipoMensagem::Erro, TextoErroPadrao(mensagem));
}

QString TituloMensagem(TTipoMensagem tipo)
{
    switch (tipo) {
    case TTipoMensagem::Erro:
        return QStringLiteral("Erro");
    case TTipoMensagem::Informacao:
        return QStringLiteral("Informação");
    case TTipoMensagem::Alerta:
        return QStringLiteral("Alerta");
    case TTipoMensagem::Confirmacao:
        return QStringLiteral("Confirmação");
    }
    return {};
}

TResposta RespostaCautelosa(TBotoes botoes)
{
    switch (botoes) {
    case TBotoes::Ok:
        return TResposta::Ok;
    case TBotoes::OkCancelar:
        return TResposta::Cancelar;
    case TBotoes::SimNao:
        break;
    }
    return TResposta::Nao;
}

QString TextoErroPadrao(const QString& mensagem)
{
    if (!mensagem.isEmpty() && mensagem.back() > QChar('.'))
        return mensagem + '.';
    return mensagem;
}
