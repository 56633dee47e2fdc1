#include "CapturaAbastecimento.h"

#include "Erro.h"
#include "FonteDialogo.h"
#include "IgnoraEsc.h"
#include "Linkor.h"
#include "NumEdit.h"
#include "ServicoCaptura.h"

#include <QLabel>
#include <QPushButton>

TFCapturaAbast::TFCapturaAbast(TOperacoesPosto& operacoes, TMensagens& mensagens, const TConfiguracaoRegional& regional,
                               QWidget* parent)
    : QDialog(parent), FMensagens(mensagens), FTrabalho(this, operacoes, [this](bool espera) {
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
    edtIDAbast->DefineRegional(regional);
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
    FTrabalho.Executa<TOperacoesPosto::TVazio>([this](auto fim) { FTrabalho.Operacoes().PausaLeitura(this, std::move(fim)); },
                                               [this, texto, valor](const TRespostaOperacao<TOperacoesPosto::TVazio>& r) {
                                                   if (r.Falhou()) {
                                                       FMensagens.MostraErroPadrao(r.Erro);
                                                       ReabilitaLeitura();
                                                       return;
                                                   }
                                                   Captura(texto, valor);
                                               });
}

void TFCapturaAbast::ReabilitaLeitura()
{
    FTrabalho.Operacoes().RetomaLeitura(this);
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
    FTrabalho.Executa<TResultadoCaptura>(
        [this, id, texto](auto fim) { FTrabalho.Operacoes().Captura(this, FTrabalho.Usuario(), id, texto, std::move(fim)); },
        [this](const TRespostaOperacao<TResultadoCaptura>& resposta) {
            if (resposta.Falhou())
                FMensagens.MostraErroPadrao(resposta.Erro);
            else
                FMensagens.MostraMensagem(resposta.Dados.Tipo, resposta.Dados.Texto);
        });
}

void TFCapturaAbast::BtCancelarClick()
{
    close();
}
