#include "Mensagens.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

class TRespondedorCaixa : public TRespondedor {
public:
    TResposta Responde(TTipoMensagem tipo, const QString& texto, TBotoes botoes) override
    {
        QMessageBox caixa(IconeDe(tipo), TituloMensagem(tipo), QString(texto).replace('\r', '\n'),
                          QMessageBox::NoButton, QApplication::activeWindow());
        QPushButton* primeiro = nullptr;
        QPushButton* segundo = nullptr;
        switch (botoes) {
        case TBotoes::Ok:
            primeiro = caixa.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            break;
        case TBotoes::OkCancelar:
            primeiro = caixa.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            segundo = caixa.addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
            break;
        case TBotoes::SimNao:
            primeiro = caixa.addButton(QStringLiteral("&Sim"), QMessageBox::YesRole);
            segundo = caixa.addButton(QStringLiteral("&Não"), QMessageBox::NoRole);
            break;
        }
        caixa.setDefaultButton(primeiro);
        if (segundo)
            caixa.setEscapeButton(segundo);
        caixa.exec();
        const bool escolheuPrimeiro = caixa.clickedButton() == primeiro || !segundo;
        switch (botoes) {
        case TBotoes::Ok:
            return TResposta::Ok;
        case TBotoes::OkCancelar:
            return escolheuPrimeiro ? TResposta::Ok : TResposta::Cancelar;
        case TBotoes::SimNao:
            return escolheuPrimeiro ? TResposta::Sim : TResposta::Nao;
        }
        return TResposta::Ok;
    }

private:
    static QMessageBox::Icon IconeDe(TTipoMensagem tipo)
    {
        switch (tipo) {
        case TTipoMensagem::Erro:
            return QMessageBox::Critical;
        case TTipoMensagem::Informacao:
            return QMessageBox::Information;
        case TTipoMensagem::Alerta:
            return QMessageBox::Warning;
        case TTipoMensagem::Confirmacao:
            return QMessageBox::Question;
        }
        return QMessageBox::NoIcon;
    }
};

TRespondedorCaixa gCaixa;
TRespondedor* gRespondedor = &gCaixa;
bool gSuprimidas = false;

} // namespace

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

TResposta MostraMensagem(TTipoMensagem tipo, const QString& texto, TBotoes botoes)
{
    if (gSuprimidas) {
        switch (botoes) {
        case TBotoes::Ok:
            return TResposta::Ok;
        case TBotoes::OkCancelar:
            return TResposta::Cancelar;
        case TBotoes::SimNao:
            return TResposta::Nao;
        }
    }
    return gRespondedor->Responde(tipo, texto, botoes);
}

void SuprimeMensagens()
{
    gSuprimidas = true;
}

void DefineRespondedor(TRespondedor* respondedor)
{
    gRespondedor = respondedor ? respondedor : &gCaixa;
}
