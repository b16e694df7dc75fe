#include "ui/uDocumentFlow.h"

#include <QDir>
#include <exception>

#include "base/uFileSave.h"
#include "base/uSettings.h"
#include "base/uStream.h"
#include "ui/uPageHost.h"

namespace k2 {

TDocumentFlow::TDocumentFlow(IPageHost& host, const TDocumentKind& kind, IDocumentPage& page)
    : Host(host), DocKind(kind), Page(page) {}

QString TDocumentFlow::Folder() const { return DataDir() + QString::fromUtf8(DocKind.Folder); }

QString TDocumentFlow::AskOpenName() const {
  return Dialogs().OpenFileName(Host.Window(), Folder(),
                                QtFilter(QString::fromUtf8(DocKind.Filter)));
}

QString TDocumentFlow::AskSaveName() const {
  QString proposed = Page.ProposedFile();

  if (proposed.isEmpty())
    proposed = Folder() + QLatin1Char('/') + QString::fromUtf8(DocKind.NewName);
  return Dialogs().SaveFileName(Host.Window(), Folder(), proposed,
                                QtFilter(QString::fromUtf8(DocKind.Filter)));
}

void TDocumentFlow::ShowFileCaption(const QString& path, bool modified) {
  if (!DocKind.CaptionPrefix) return;
  Host.State().CaptionBase = QString::fromUtf8(DocKind.CaptionPrefix) + FilePart(path);
  Host.ShowCaption(modified);
}

void TDocumentFlow::ResetCaption() {
  if (!DocKind.CaptionPrefix) return;
  Host.State().CaptionBase = QString::fromUtf8(AppCaption);
  Host.ShowCaption(false);
}

TSaveResult TDocumentFlow::SaveForPrompt() {
  if (Host.State().DocIsNew) {
    const QString file = AskSaveName();
    if (file.isEmpty()) return TSaveResult::Cancelled;
    Page.SetDocumentFile(file);
  }
  return Page.SaveDocument() ? TSaveResult::Saved : TSaveResult::Failed;
}

bool TDocumentFlow::ConfirmUnsaved(const TPromptText& text, bool cancelStops) {
  if (!Host.State().DocModified || !Page.HasDocument()) return true;
  return AskToSave(
      Host.Window(), FilePart(Page.DocumentFile()), QString::fromUtf8(text.Caption),
      QString::fromUtf8(text.Question), [this] { return SaveForPrompt(); }, cancelStops);
}

void TDocumentFlow::CloseWithoutAsking() {
  Page.CloseDocument();
  Host.State().MarkDocClosed();
  ResetCaption();
}

void TDocumentFlow::New() {
  if (!ConfirmUnsaved(DocKind.NewPrompt, false)) return;
  TSharedState& s = Host.State();
  Page.DiscardDocument();
  s.MarkDocClosed();
  // New documents read their defaults from the program folder's settings file.
  QDir::setCurrent(DataDir());
  try {
    Page.CreateDocument();
    Page.SetDocumentFile(Folder() + QLatin1Char('/') + QString::fromUtf8(DocKind.NewName));
    Page.ShowNewDocument();
  } catch (const std::exception&) {
    // The half-built document is discarded.
    CloseWithoutAsking();
    ErrorBox(Host.Window(), QString::fromUtf8(DocKind.NewFailed));
    return;
  }
  s.MarkDocNew();
  ShowFileCaption(Page.DocumentFile(), true);
}

void TDocumentFlow::Open() {
  const QString file = AskOpenName();
  if (file.isEmpty()) return;
  if (!ConfirmUnsaved(DocKind.OpenPrompt, false)) return;
  TSharedState& s = Host.State();
  Page.DiscardDocument();
  s.MarkDocClosed();
  // What a file does not hold comes from the program folder's settings, not from
  // wherever the working directory happens to be.
  QDir::setCurrent(DataDir());
  bool loaded = false;
  try {
    loaded = Page.LoadDocument(file);
  } catch (const std::exception&) {
    loaded = false;
  }
  if (!loaded) {
    ErrorBox(Host.Window(), QString::fromUtf8(DocKind.OpenFailed));
    CloseWithoutAsking();
    return;
  }
  Page.ShowOpenedDocument();
  s.MarkDocOpened();
  ShowFileCaption(file, false);
}

TSaveResult TDocumentFlow::Save() {
  TSharedState& s = Host.State();
  if (!s.DocModified || !Page.HasDocument()) return TSaveResult::Saved;
  if (s.DocIsNew) {
    const QString file = AskSaveName();
    if (file.isEmpty()) return TSaveResult::Cancelled;
    Page.SetDocumentFile(file);
  }
  SetLastSaveError(QString());
  if (!Page.SaveDocument()) {
    ErrorBox(Host.Window(),
             WithReason(FilePart(Page.DocumentFile()) + QStringLiteral("保存失败！")));
    return TSaveResult::Failed;
  }

  s.MarkDocSaved();
  Page.DocumentSaved();
  ShowFileCaption(Page.DocumentFile(), false);
  return TSaveResult::Saved;
}

void TDocumentFlow::Close() {
  if (!ConfirmUnsaved(DocKind.ClosePrompt, false)) return;
  CloseWithoutAsking();
}

}  // namespace k2
