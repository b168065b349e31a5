// The page's own question before an operation that changes much at once (a
// recall, opening every output): a modal dialog with the question and two
// large buttons, Cancel first and focused, so a stray tap or Enter asks
// nothing of the unit.

// Resolves true (OK) or false.
export function ask(dialog, { title, text, ok }) {
  // A browser without <dialog> (older tablets) asks in its own way.
  if (typeof dialog.showModal !== 'function') return Promise.resolve(window.confirm(`${title}\n\n${text}`));
  return open(dialog, { title, text, ok, choice: null }).then((answer) => answer !== null);
}

// The same question with a choice to make first (a memory to recall):
// choice {label, options: [{value, text}], value}. Resolves the chosen
// value, or null when the answer is no.
export function choose(dialog, { title, text, ok, choice }) {
  if (typeof dialog.showModal !== 'function') {
    const typed = window.prompt(`${title}\n\n${text}\n\n${choice.label}:`, choice.value);
    const picked = choice.options.find((o) => o.value === String(typed ?? '').trim());
    return Promise.resolve(picked ? picked.value : null);
  }
  return open(dialog, { title, text, ok, choice });
}

function open(dialog, { title, text, ok, choice }) {
  dialog.querySelector('.dialog-title').textContent = title;
  dialog.querySelector('.dialog-text').textContent = text;
  const field = dialog.querySelector('.dialog-choice');
  const select = field.querySelector('select');
  field.hidden = choice === null;
  select.replaceChildren();
  if (choice) {
    field.querySelector('.dialog-choice-label').textContent = choice.label;
    for (const option of choice.options) {
      const el = document.createElement('option');
      el.value = option.value;
      el.textContent = option.text;
      select.append(el);
    }
    select.value = choice.value;
  }
  const okButton = dialog.querySelector('[data-answer="ok"]');
  const cancelButton = dialog.querySelector('[data-answer="cancel"]');
  okButton.textContent = ok;
  return new Promise((resolve) => {
    const finish = (yes) => {
      okButton.onclick = null;
      cancelButton.onclick = null;
      dialog.onclose = null;
      if (dialog.open) dialog.close();
      resolve(yes ? (choice ? select.value : true) : null);
    };
    okButton.onclick = () => finish(true);
    cancelButton.onclick = () => finish(false);
    // Escape, or the dialog closed for any other reason: no.
    dialog.onclose = () => finish(false);
    dialog.showModal();
    cancelButton.focus();
  });
}
