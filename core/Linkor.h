#pragma once
// The engine as a whole: the station parameters, the poll cycle and the start-up that ties the
// database, the driver and the timer together. The window creates it, runs Inicia and listens.
#include "CicloLeitura.h"
#include "Contexto.h"
#include "RepositorioParametros.h"
#include "TravaInstancia.h"

#include <QObject>

#include <functional>
#include <memory>

class TLinkor : public QObject {
    Q_OBJECT
public:
    using TFabricaConcentrador = std::function<std::unique_ptr<TConcentrador>()>;

    // `fabrica` creates the driver (the CompanyTec driver when empty).
    explicit TLinkor(TContexto& contexto, TFabricaConcentrador fabrica = {}, QObject* parent = nullptr);

    TContexto& Contexto() const { return FContexto; }
    TRepositorioParametros& Parametros() { return FParametros; }
    TCicloLeitura& Ciclo() { return FCiclo; }
    const QString& Versao() const { return FVersao; }
    // The program's version, shown in the window's caption.
    static inline const QString kVersao = QStringLiteral("v15.11dc");

    // The start-up sequence after the window exists: the station's lock, version, log, database,
    // parameters, driver, serial port, clock, poll interval, tag mode. Raises on the first failure;
    // the caller takes the failure path. EOutraInstancia (another Linkor on this station folder or
    // port) comes before anything was changed: the caller shows it and writes no log line. A station not configured for the concentrator is told so, and the end of
    // the program is requested (FimSolicitado) while the remaining steps still run.
    void Inicia();
    bool FimSolicitado() const { return FFimSolicitado; }
    // The close: the timer stops for good and the serial link is finalised, acknowledging the last
    // fueling delivered unless the journal could not take it. On the engine's thread, between ticks.
    void Finaliza();

    // The serial port of PortaConc ("COM" in any case, then digits: COM12 gives 12). Raises with
    // the operator's message for an empty text, another kind of port, or a number past 255.
    static std::uint8_t NumeroPortaSerial(const QString& portaConc);

private:
    TContexto& FContexto;
    TFabricaConcentrador FFabrica;
    TRepositorioParametros FParametros;
    TCicloLeitura FCiclo;
    QString FVersao;
    bool FFimSolicitado = false;
    TTravaInstancia FTravaPosto; // held for the engine's life
};
