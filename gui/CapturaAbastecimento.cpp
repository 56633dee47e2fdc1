#include "CapturaAbastecimento.h"

#include "Erro.h"
#include "FonteDialogo.h"
#include "Linkor.h"
#include "NumEdit.h"
#include "ServicoCaptura.h"

#include <QLabel>
#include <QPushButton>

TFCapturaAbast::TFCapturaAbast(TLinkor& linkor, QWidget* parent) : QDialog(parent), FLinkor(linkor)
{
    setObjectName(QStringLiteral("FCapturaAbast"));
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
    edtIDAbast->DefineRegional(linkor.Contexto().Regional());
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
    try {
        TServicoCaptura(FLinkor).Captura(edtIDAbast->Value(), edtIDAbast->text());
    } catch (const std::exception& e) {
        FLinkor.Contexto().MostraErroPadrao(MensagemDe(e));
    }
}

void TFCapturaAbast::BtCancelarClick()
{
    close();
}
