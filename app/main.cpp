#include "Aplicacao.h"
#include "CaixaMensagem.h"
#include "Linkor.h"
#include "MenuPrin.h"
#include "OpcoesPrograma.h"

namespace {
const QString kDescricao = QStringLiteral("Linkor: comunicação entre o banco do posto e o concentrador CompanyTec.");
}

int main(int argc, char** argv)
{
    if (PedeSoAjuda(argc, argv)) { // answered and ended without a display
        QCoreApplication ajuda(argc, argv);
        LeOpcoesPrograma(ajuda, kDescricao);
    }
    TAplicacao::BloqueiaSinais();
    TAplicacao aplicacao(argc, argv);
    const TOpcoesPrograma opcoes = LeOpcoesPrograma(aplicacao, kDescricao);
    if (!opcoes.Erro.isEmpty()) {
        aplicacao.Caixas().MostraMensagem(TTipoMensagem::Erro, opcoes.Erro);
        return 1;
    }
    aplicacao.InstalaTratamentoSinais();
    const TRelogio relogio(opcoes.PastaPosto);
    TContexto contexto(relogio, aplicacao.Caixas());
    TLinkor linkor(contexto);
    TMenuPrin janela(linkor);
    if (aplicacao.TerminoSolicitado()) { // stopped while starting up: the loop never runs
        janela.close();
        return 0;
    }
    janela.ExibeInicial();
    return aplicacao.exec();
}
