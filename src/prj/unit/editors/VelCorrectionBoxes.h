#pragma once
// The boxes of a CU that correct one already sent (TIPO DI COMUNICAZIONE:
// Annullamento, Sostituzione, and the protocol the agency gave it): beside
// the model's own texts, what each one does and holds, in words the office
// reads, with tooltips that name no internal field.
class QWidget;
class QString;

namespace VelCorrectionBoxes {

// Applied to a built page; does nothing on a page without those boxes.
void explain(QWidget *page);

// What the editor says of a printed CU it refuses to change.
QString lockedNote();

} // namespace VelCorrectionBoxes
