#include "CaixaMensagem.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {
QMessageBox::Icon IconeDe(TTipoMensagem tipo)
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
} // namespace

TResposta TCaixaMensagem::MostraMensagem(TTipoMensagem tipo, const QString& texto, TBotoes botoes)
{
    if (FSuprimidas)
        return RespostaCautelosa(botoes);
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
