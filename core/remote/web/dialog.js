// The page's own question before an operation that changes much at once (a
// recall, opening every output): a modal dialog with the question and two
// large buttons, Cancel first and focused, so a stray tap or Enter asks
// nothing of the unit.

export function ask(dialog, { title, text, ok }) {
  // A browser without <dialog> (older tablets) asks in its own way.
  if (typeof dialog.showModal !== 'function') return Promise.resolve(window.confirm(`${title}\n\n${text}`));
  dialog.querySelector('.dialog-title').textContent = title;
  dialog.querySelector('.dialog-text').textContent = text;
  const okButton = dialog.querySelector('[data-answer="ok"]');
  const cancelButton = dialog.querySelector('[data-answer="cancel"]');
  okButton.textContent = ok;
  return new Promise((resolve) => {
    const finish = (answer) => {
      okButton.onclick = null;
      cancelButton.onclick = null;
      dialog.onclose = null;
      if (dialog.open) dialog.close();
      resolve(answer);
    };
    okButton.onclick = () => finish(true);
    cancelButton.onclick = () => finish(false);
    // Escape, or the dialog closed for any other reason: no.
    dialog.onclose = () => finish(false);
    dialog.showModal();
    cancelButton.focus();
  });
}
