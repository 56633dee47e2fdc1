#pragma once
// The CompanyTec driver: every concentrator operation as one call into the vendor library.
#include "ClassConcentrador.h"
#include "EntradasCompanytec.h"
#include "Regional.h"
#include "TravaInstancia.h"

#include <QString>

// The concentrator codes (three decimal digits) of one nozzle position on channels 1 to 4.
struct TCanal {
    QString Canal1;
    QString Canal2;
    QString Canal3;
    QString Canal4;
};

class TCompanyTec : public TConcentrador {
public:
    // The regional settings read the unit price text the library hands back.
    explicit TCompanyTec(const TConfiguracaoRegional& regional = TConfiguracaoRegional::DoSistema())
        : FRegional(regional)
    {
    }

    QString GetLeStatus() override;
    QString FGetStStatusBico() override;
    void FBloqueiaBico(const QString& Bico) override;
    void FLiberaBico(const QString& Bico) override;
    TVisualizacao GetLeVisualizacao() override;
    TAbastecimento GetLeAbastecimento() override;
    TAbastecimentoFid GetLeAbastecimentoFID() override;
    TEncerrante ConsultaEncerrante(const QString& Bico) override;
    TAbastecimento FLeRegistro(std::int32_t Id) override;
    void LerEncerrante(char Tipo, const QString& Bico) override;
    void AlteraPrecoBico(const QString& Bico, std::uint8_t Modo, double Preco) override;
    void PCarregaDllConcentrador() override;
    // Raises EOutraInstancia when another Linkor holds the port's device.
    bool InicializaSerial(std::uint8_t Porta) override;
    double PrecoUnitario(const QString& Bico) override;
    // Retem closes through the library's optional FechaSerialSemConfirmar; a library without it is
    // not called at all (its close would acknowledge), and the port closes with the process. Under
    // the vendor's contract a fueling leaves the device as it is delivered: neither close can keep
    // it there, only what the engine itself keeps (its journal) can.
    void FinalizaSerial(TUltimoEntregue Ultimo) override;
    // Raises EErro when the library reports that the concentrator did not take the command.
    void AcertaDataHora() override;

    // The library file the process loads. Empty (the default) means the usual search: beside the
    // executable first, then the system's search path. Only matters before the first successful
    // load, since the library then stays loaded until the process ends.
    static void DefineArquivoBiblioteca(const QString& caminho);
    static QString ArquivoBiblioteca();

    // Three-digit decimal concentrator code as the library's upper-case hexadecimal, at least two
    // digits ("068" gives "44"). Raises EErroConversao when the text is not a decimal integer.
    static QByteArray ConverteCodigoHexa(const QString& codigo);
    // The 48 status bytes as 48 letters, position 1 first; a byte above 6 gives "?", a letter no
    // reader takes for a status.
    static QString ConverteStatus(const std::uint8_t* status, int quantidade);

private:
    TEntradaFechaSerial FnFechaSerial = nullptr;
    TEntradaInicializaSerial FnInicializaSerial = nullptr;
    TEntradaSetClock FnSetClock = nullptr;
    TEntradaLeStatus FnLeStatus = nullptr;
    TEntradaLeAbastecimento FnLeAbastecimento = nullptr;
    TEntradaLeAbastecimentoFid FnLeAbastecimentoFid = nullptr;
    TEntradaConsultaEncerrante FnConsultaEncerrante = nullptr;
    TEntradaAlteraPreco FnAlteraPreco = nullptr;
    TEntradaPreset FnPreset = nullptr;
    TEntradaLePPL FnLePPL = nullptr;
    TEntradaLeStringAb FnLeStringAb = nullptr;
    TEntradaCobLeSTEncerrante FnCobLeSTEncerrante = nullptr;
    TEntradaWriteSerial FnWriteSerial = nullptr;
    TEntradaRefEncerrante FnRefEncerrante = nullptr;
    TEntradaRefAltPreco FnRefAltPreco = nullptr;
    TEntradaLeAbFix FnLeAbFix = nullptr;
    TEntradaIncrementa FnIncrementa = nullptr;
    TEntradaLeStStatus FnLeStStatus = nullptr;
    TEntradaLeVisualizacao FnLeVisualizacao = nullptr;
    TEntradaRefLePPL FnRefLePPL = nullptr;
    TEntradaBloqueiaBico FnBloqueiaBico = nullptr;
    TEntradaAutoLibera FnAutoLibera = nullptr;
    TEntradaLeRegistro FnLeRegistro = nullptr;
    // Optional: only our library has it, a vendor library without it still loads.
    TEntradaFechaSerialSemConfirmar FnFechaSerialSemConfirmar = nullptr;
    TConfiguracaoRegional FRegional;
    // Whether PCarregaDllConcentrador got as far as looking the entries up.
    bool FCarregada = false;
    // The port's device, held while the port is open so no second Linkor opens it.
    TTravaInstancia FTravaPorta;
};
