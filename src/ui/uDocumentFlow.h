#pragma once
// The document flow of the pages: New, Open, Save, Close with its question, the save
// made for a prompt, and the file dialogs, written once.
//
// What differs between kinds of documents is data (TDocumentKind: folder, filter,
// proposed name, caption, messages) and the document itself, which the page reaches
// through IDocumentPage (create, load, save, show, discard).  The flow owns the
// questions, the file dialogs, the error boxes, the document flags and the caption.
//
// The flow borrows its host, kind and page; all three outlive it (the page owns it).
#include <QString>
#include <functional>

#include "ui/uFuncProc.h"

namespace k2 {

class IPageHost;

// The caption and the last question of an unsaved-work prompt.
struct TPromptText {
  const char* Caption;
  const char* Question;  // asked after "保存失败！" when the save failed
};

// One kind of document.
struct TDocumentKind {
  const char* Folder;         // under ProgramDir: "Path"
  const char* Filter;         // "赛道文件(*.kpf)|*.kpf"
  const char* NewName;        // the proposed name of a new document, "新建赛道.kpf"
  const char* CaptionPrefix;  // caption := prefix + file name; null: not the document's
  const char* NewFailed;      // error box when a new document cannot be built
  const char* OpenFailed;     // error box when a file cannot be opened
  TPromptText NewPrompt;
  TPromptText OpenPrompt;
  TPromptText ClosePrompt;
};

// The document side of a page.
class IDocumentPage {
 public:
  virtual ~IDocumentPage() = default;
  virtual bool HasDocument() const = 0;
  // Full path of the document's file; may be empty before the first save.
  virtual QString DocumentFile() const = 0;
  virtual void SetDocumentFile(const QString& path) = 0;
  // The name the save dialog proposes while the document has no file of its own.
  virtual QString ProposedFile() const { return DocumentFile(); }

  // Writes the file; false when that failed.
  virtual bool SaveDocument() = 0;
  // Builds an empty document on the page's views; throws std::exception when it cannot.
  virtual void CreateDocument() = 0;
  // Builds a document from a file: false (or std::exception) when it cannot.
  virtual bool LoadDocument(const QString& path) = 0;
  // The page shows a document just created, or just loaded.
  virtual void ShowNewDocument() = 0;
  virtual void ShowOpenedDocument() = 0;
  // The document was saved by the page's save command (the save button goes off).
  virtual void DocumentSaved() = 0;
  // Releases the document object only; the page is about to show another.
  virtual void DiscardDocument() = 0;
  // Releases the document and returns the page's controls to their no-document state.
  virtual void CloseDocument() = 0;
};

class TDocumentFlow {
 public:
  TDocumentFlow(IPageHost& host, const TDocumentKind& kind, IDocumentPage& page);

  // The page's commands.
  void New();
  void Open();
  // Saved (or nothing to save), Cancelled (the name dialog), or Failed (reported).
  TSaveResult Save();

  void Close();

  // The unsaved-work prompt about the document (nothing to ask unless it is modified):
  // true when the action may go on.  `cancelStops`: a cancelled file dialog stops the
  // action instead of counting as a failed save.
  bool ConfirmUnsaved(const TPromptText& text, bool cancelStops);
  // Saves for a prompt: asks for a name first while DocIsNew.  Changes neither the
  // flags nor the caption.
  TSaveResult SaveForPrompt();
  // Closes the document without a question: page emptied, flags cleared, caption reset.
  void CloseWithoutAsking();

  // The open dialog in the kind's folder; empty when cancelled.
  QString AskOpenName() const;
  // The save dialog in the kind's folder, proposing the document's file, or the new
  // name when it has none; empty when cancelled.
  QString AskSaveName() const;

  const TDocumentKind& Kind() const { return DocKind; }
  QString Folder() const;

 private:
  void ShowFileCaption(const QString& path, bool modified);
  void ResetCaption();

  IPageHost& Host;
  const TDocumentKind& DocKind;
  IDocumentPage& Page;
};

}  // namespace k2
