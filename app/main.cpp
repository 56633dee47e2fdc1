#include "Aplicacao.h"
#include "CaixaMensagem.h"
#include "Linkor.h"
#include "MenuPrin.h"

int main(int argc, char** argv)
{
    TAplicacao::BloqueiaSinais();
    TAplicacao aplicacao(argc, argv);
    aplicacao.InstalaTratamentoSinais();
    const TRelogio relogio;
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
