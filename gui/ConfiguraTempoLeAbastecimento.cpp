#include "ConfiguraTempoLeAbastecimento.h"

#include "Erro.h"
#include "FonteDialogo.h"
#include "IgnoraEsc.h"
#include "Linkor.h"
#include "NumEdit.h"
#include "ServicoTempoLeitura.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScopeGuard>

namespace {
constexpr int kAlturaProjeto = 172;
constexpr int kTopoBotoes = 91;
} // namespace

TFconfiguraTempoLeAbastecimento::TFconfiguraTempoLeAbastecimento(TOperacoesPosto& operacoes, TMensagens& mensagens,
                                                                 const TConfiguracaoRegional& regional, QWidget* parent)
    : QDialog(parent), FMensagens(mensagens), FTrabalho(this, operacoes, [this](bool espera) {
          BtOk->setEnabled(!espera);
          BtCancelar->setEnabled(!espera);
      })
{
    setObjectName(QStringLiteral("FconfiguraTempoLeAbastecimento"));
    new TIgnoraEsc(this);
    setWindowTitle(QStringLiteral("Comunicação com concentrador"));
    setFont(FonteMsSansSerif());
    QPalette paleta = palette();
    paleta.setColor(QPalette::Window, QColor(152, 143, 124));
    setPalette(paleta);
    setAutoFillBackground(true);

    Label1 = new QLabel(QStringLiteral("Capturar abastecimentos a cada "), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(FonteMsSansSerifPixels(16, true));
    Label1->move(16, 8);
    Label1->adjustSize();

    EdtSegundos = new TNumEdit(this);
    EdtSegundos->setObjectName(QStringLiteral("EdtSegundos"));
    EdtSegundos->DefineRegional(regional);
    EdtSegundos->DefineDecimals(0);
    EdtSegundos->DefineShowSeparator(false);
    EdtSegundos->DefineMaxLength(2);
    EdtSegundos->DefineMinValue(1);
    EdtSegundos->DefineMaxValue(60);
    EdtSegundos->DefineAlignment(Qt::AlignRight);
    EdtSegundos->setFont(FonteMsSansSerifPixels(16));
    EdtSegundos->setGeometry(88, 32, 33, 28);

    Label2 = new QLabel(QStringLiteral("segundo(s)."), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(FonteMsSansSerifPixels(16, true));
    Label2->move(131, 35);
    Label2->adjustSize();

    BtOk = new QPushButton(QStringLiteral("&OK"), this);
    BtOk->setObjectName(QStringLiteral("BtOk"));
    BtOk->setGeometry(39, kTopoBotoes, 75, 40);
    BtCancelar = new QPushButton(QStringLiteral("&Sair"), this);
    BtCancelar->setObjectName(QStringLiteral("BtCancelar"));
    BtCancelar->setGeometry(188, kTopoBotoes, 75, 40);
    // No Enter handling of its own: Enter in the field presses no button.
    for (QPushButton* botao : {BtOk, BtCancelar}) {
        botao->setAutoDefault(false);
        botao->setDefault(false);
    }
    setTabOrder(EdtSegundos, BtOk);
    setTabOrder(BtOk, BtCancelar);
    connect(BtOk, &QPushButton::clicked, this, &TFconfiguraTempoLeAbastecimento::BtOkClick);
    connect(BtCancelar, &QPushButton::clicked, this, &TFconfiguraTempoLeAbastecimento::BtCancelarClick);

    // Where it was designed, not centred; resizable.
    resize(302, kAlturaProjeto);
    move(370, 325);
    EdtSegundos->setFocus();
    FormCreate();
}

void TFconfiguraTempoLeAbastecimento::FormCreate()
{
    EdtSegundos->DefineValue(1);
}

bool TFconfiguraTempoLeAbastecimento::Executa()
{
    exec();
    return true;
}

void TFconfiguraTempoLeAbastecimento::resizeEvent(QResizeEvent* evento)
{
    QDialog::resizeEvent(evento);
    // The buttons keep their distance from the bottom edge.
    const int topo = height() - (kAlturaProjeto - kTopoBotoes);
    BtOk->move(BtOk->x(), topo);
    BtCancelar->move(BtCancelar->x(), topo);
}

void TFconfiguraTempoLeAbastecimento::BtOkClick()
{
    // Alt+O presses the button without the field losing the focus: its range is checked here too.
    if (!EdtSegundos->ConfereFaixa())
        return;
    const QString segundos = EdtSegundos->text();
    FTrabalho.Executa<TResultadoIntervalo>(
        [this, segundos](auto fim) {
            FTrabalho.Operacoes().AlteraIntervalo(this, FTrabalho.Usuario(), segundos, std::move(fim));
        },
        [this](const TRespostaOperacao<TResultadoIntervalo>& resposta) {
            if (resposta.Falhou())
                FMensagens.MostraErroPadrao(resposta.Erro);
            else if (!resposta.Dados.Falha.isEmpty())
                FMensagens.MostraMensagem(TTipoMensagem::Erro, resposta.Dados.Falha);
        });
}

void TFconfiguraTempoLeAbastecimento::BtCancelarClick()
{
    close();
}
