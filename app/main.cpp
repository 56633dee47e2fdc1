#include "Aplicacao.h"
#include "MenuPrin.h"

int main(int argc, char** argv)
{
    TAplicacao::BloqueiaSinais();
    TAplicacao aplicacao(argc, argv);
    aplicacao.InstalaTratamentoSinais();
    TMenuPrin janela;
    if (aplicacao.TerminoSolicitado()) { // stopped while starting up: the loop never runs
        janela.close();
        return 0;
    }
    janela.ExibeInicial();
    return aplicacao.exec();
}
