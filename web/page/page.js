// Placeholder: starts the module in its worker and shows what the worker says.
const placeholderWorker = `
startMorvane().then(
    () => postMessage('Morvane is ready.'),
    (error) => postMessage('Morvane could not start: ' + error));
`;

startMorvaneWorker(placeholderWorker).then(
    (worker) => {
        worker.onmessage = (event) => {
            document.getElementById('status').textContent = event.data;
        };
    },
    (error) => {
        document.getElementById('status').textContent = `Morvane could not start: ${error}`;
    });
