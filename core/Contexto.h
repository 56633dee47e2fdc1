#pragma once
// What the engine shares, handed to every constructor: the station connection, the concentrator
// driver, the journal of fuelings read, the clock and folders, the regional settings, the operator's
// boxes and the error log. It owns the connection, the driver and the journal; the clock and the
// boxes are its creator's.
#include "ClassConcentrador.h"
#include "Conexao.h"
#include "Diario.h"
#include "LogArquivos.h"
#include "Mensagens.h"
#include "Regional.h"
#include "Relogio.h"

#include <memory>

class TContexto {
public:
    TContexto(const TRelogio& relogio, TMensagens& mensagens,
              const TConfiguracaoRegional& regional = TConfiguracaoRegional::DoSistema());
    ~TContexto();
    TContexto(const TContexto&) = delete;
    TContexto& operator=(const TContexto&) = delete;

    TConexao& CnTankora() { return FConexao; }
    // Empty until start-up creates it.
    TConcentrador* Concentrador() const { return FConcentrador.get(); }
    void DefineConcentrador(std::unique_ptr<TConcentrador> concentrador);
    // The journal of the station folder; empty until start-up opens it (or while it cannot be).
    TDiario* Diario() const { return FDiario.get(); }
    void DefineDiario(std::unique_ptr<TDiario> diario);
    const TRelogio& Relogio() const { return FRelogio; }
    TMensagens& Mensagens() const { return FMensagens; }
    const TConfiguracaoRegional& Regional() const { return FRegional; }

    // Appends "dd/mm/yy hh:mm:ss message" to LogErroConcentrador beside the executable; raises
    // EErro when the file cannot be written (the line is kept and written later, see TLogArquivo).
    void GravaLogErro(const QString& mensagem);
    TLogArquivo& LogErros() { return FLogErros; }
    // LogOperacoes in the station folder (see LogOperacoes.h); written on the engine's thread only.
    TLogArquivo& LogOperacoes() { return FLogOperacoes; }
    // The application's default error handler: the error box, with its full-stop rule.
    void MostraErroPadrao(const QString& mensagem) { FMensagens.MostraErroPadrao(mensagem); }

private:
    const TRelogio& FRelogio;
    TMensagens& FMensagens;
    TConfiguracaoRegional FRegional;
    TConexao FConexao;
    std::unique_ptr<TConcentrador> FConcentrador;
    std::unique_ptr<TDiario> FDiario;
    TLogArquivo FLogErros;
    TLogArquivo FLogOperacoes;
};
