#include "CapturaAbastecimento.h"

#include "Erro.h"
#include "FonteDialogo.h"
#include "IgnoraEsc.h"
#include "Linkor.h"
#include "NumEdit.h"
#include "ServicoCaptura.h"

#include <QLabel>
#include <QPushButton>

TFCapturaAbast::TFCapturaAbast(TMotor& motor, TMensagens& mensagens, QWidget* parent)
    : QDialog(parent), FMensagens(mensagens), FTrabalho(this, motor, [this](bool espera) {
          BtOk->setEnabled(!espera);
          BtCancelar->setEnabled(!espera);
      })
{
    setObjectName(QStringLiteral("FCapturaAbast"));
    new TIgnoraEsc(this);
    setWindowTitle(QStringLiteral("Captura de abastecimento"));
    setFont(FonteMsSansSerif());
    QPalette paleta = palette();
    paleta.setColor(QPalette::Window, QColor(140, 132, 111));
    setPalette(paleta);
    setAutoFillBackground(true);

    Label1 = new QLabel(QStringLiteral("Digite o  ID do abastecimento:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(FonteMsSansSerifPixels(13, true));
    // A style sheet, since a platform theme may replace the palette's text colour.
    Label1->setStyleSheet(QStringLiteral("QLabel { color: white; }"));
    Label1->setGeometry(16, 12, 250, 20);

    edtIDAbast = new TNumEdit(this);
    edtIDAbast->setObjectName(QStringLiteral("edtIDAbast"));
    edtIDAbast->DefineRegional(motor.Linkor().Contexto().Regional());
    edtIDAbast->DefineDecimals(0);
    edtIDAbast->DefineMaxLength(4);
    edtIDAbast->DefineMaxValue(9999);
    edtIDAbast->DefineAlignment(Qt::AlignRight);
    edtIDAbast->DefineShowSeparator(true);
    edtIDAbast->setFont(FonteMsSansSerifPixels(16));
    edtIDAbast->clear();
    edtIDAbast->setGeometry(16, 38, 97, 28);

    BtOk = new QPushButton(QStringLiteral("&OK"), this);
    BtOk->setObjectName(QStringLiteral("BtOk"));
    BtOk->setGeometry(40, 84, 75, 34);
    BtCancelar = new QPushButton(QStringLiteral("&Sair"), this);
    BtCancelar->setObjectName(QStringLiteral("BtCancelar"));
    BtCancelar->setGeometry(170, 84, 75, 34);
    // Enter in the field does not press a button: only a click or the buttons' letters do.
    for (QPushButton* botao : {BtOk, BtCancelar}) {
        botao->setAutoDefault(false);
        botao->setDefault(false);
    }
    connect(BtOk, &QPushButton::clicked, this, &TFCapturaAbast::BtOkClick);
    connect(BtCancelar, &QPushButton::clicked, this, &TFCapturaAbast::BtCancelarClick);

    setFixedSize(285, 134);
    edtIDAbast->setFocus();
}

bool TFCapturaAbast::Executa()
{
    exec();
    return true;
}

void TFCapturaAbast::BtOkClick()
{
    // The poll timer goes off first and stays off through the questions and the capture; every
    // way out switches it on again (the capture itself does so at its end).
    const QString texto = edtIDAbast->text();
    const double valor = edtIDAbast->Value();
    FTrabalho.Executa([](TLinkor& linkor, const TRetorno&) { linkor.Ciclo().ParaLeitura(); },
                      [this, texto, valor](const QString& erro) {
                          if (!erro.isEmpty()) {
                              FMensagens.MostraErroPadrao(erro);
                              ReabilitaLeitura();
                              return;
                          }
                          Captura(texto, valor);
                      });
}

void TFCapturaAbast::ReabilitaLeitura()
{
    FTrabalho.Motor().Executa(this, [](TLinkor& linkor, const TRetorno&) { linkor.Ciclo().HabilitaLeitura(); });
}

void TFCapturaAbast::Captura(const QString& texto, double valor)
{
    // The questions are asked here, before the concentrator is asked for anything.
    if (valor < 0) {
        FMensagens.MostraMensagem(TTipoMensagem::Informacao, QStringLiteral("Informe o ID do Abastecidmento!"));
        ReabilitaLeitura();
        return;
    }
    if (FMensagens.MostraMensagem(TTipoMensagem::Confirmacao,
                                  QStringLiteral("Confirma a captura do Registro ") + texto + QStringLiteral("?"),
                                  TBotoes::SimNao)
        != TResposta::Sim) {
        ReabilitaLeitura();
        return;
    }
    qint32 id = 0;
    try {
        id = TServicoCaptura::LeId(texto);
    } catch (const std::exception& e) {
        FMensagens.MostraErroPadrao(MensagemDe(e));
        ReabilitaLeitura();
        return;
    }
    auto resultado = std::make_shared<TResultadoCaptura>();
    FTrabalho.Executa([id, texto, resultado](TLinkor& linkor, const TRetorno&) { *resultado = TServicoCaptura(linkor).Captura(id, texto); },
                      [this, resultado](const QString& erro) {
                          if (!erro.isEmpty())
                              FMensagens.MostraErroPadrao(erro);
                          else
                              FMensagens.MostraMensagem(resultado->Tipo, resultado->Texto);
                      });
}

void TFCapturaAbast::BtCancelarClick()
{
    close();
}
