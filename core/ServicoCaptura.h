#pragma once
// Capture of one fueling by its concentrator ID: the fueling the concentrator keeps in its memory is
// fetched and stored as if it had just been polled.
#include <QString>

class TLinkor;

class TServicoCaptura {
public:
    explicit TServicoCaptura(TLinkor& linkor);

    // The capture dialog's OK, given the ID field's value and text. Asks for confirmation, fetches,
    // stores and tells the operator the outcome in a box. The poll timer is off for the whole call
    // and always on again afterwards. A text that is not a whole number raises the conversion error
    // (after the confirmation), for the caller's default error box.
    void Captura(double valor, const QString& texto);

private:
    // Fetches and stores; every outcome ends in its own box, an error is raised.
    void CapturaRegistro(qint32 id, const QString& texto);

    TLinkor& FLinkor;
};
